// The GlobalShortcuts portal client: probe, registry, session, binding, and the
// desktop's signals. Each request's Response is listened for on the path the
// portal will give it before the request is sent, so no answer slips past.
#include "platform/portal/GlobalShortcuts.h"

#include "platform/portal/HostRegistry.h"
#include "platform/wayland/SwayBindings.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

namespace kaptivus::platform::portal {

namespace detail {
// One element of the portal's a(sa{sv}) shortcut lists.
struct DBusShortcut {
    QString id;
    QVariantMap properties;
};
using DBusShortcuts = QList<DBusShortcut>;

QDBusArgument& operator<<(QDBusArgument& out, const DBusShortcut& shortcut)
{
    out.beginStructure();
    out << shortcut.id << shortcut.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusShortcut& shortcut)
{
    in.beginStructure();
    in >> shortcut.id >> shortcut.properties;
    in.endStructure();
    return in;
}
} // namespace detail

} // namespace kaptivus::platform::portal

Q_DECLARE_METATYPE(kaptivus::platform::portal::detail::DBusShortcut)

namespace kaptivus::platform::portal {

using detail::DBusShortcut;
using detail::DBusShortcuts;

namespace {

const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// The session's token is fixed, so that a desktop that names a program's
// shortcuts after it finds the user's own assignments again at the next start.
const QString SessionToken = QStringLiteral("kaptivus2000");

constexpr int ProbeLimitMs = 10000;     // the bus may have to start the portal first
constexpr int RegistryLimitMs = 5000;
constexpr int SessionLimitMs = 20000;   // the portal may have to start its back-end
constexpr int ListLimitMs = 10000;
constexpr int BindLimitMs = 120000;     // the desktop may ask the user first
// An answer longer than this is not one the program can use.
constexpr qsizetype MaxShortcuts = 64;
constexpr qsizetype MaxText = 200;

QString service() { return QString::fromLatin1(PortalService); }
QString desktopPath() { return QString::fromLatin1(PortalPath); }

QString boundedText(const QVariant& value) { return value.toString().left(MaxText); }

// The shortcuts of an answer: an a(sa{sv}) value, anything else gives none.
QList<Shortcut> readShortcuts(const QVariant& value)
{
    QList<Shortcut> shortcuts;
    if (!value.canConvert<QDBusArgument>()) return shortcuts;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})")) return shortcuts;
    DBusShortcuts list;
    argument >> list;
    for (const DBusShortcut& s : list) {
        if (shortcuts.size() >= MaxShortcuts) break;
        shortcuts.push_back({ s.id.left(MaxText), boundedText(s.properties.value(QStringLiteral("description"))),
            boundedText(s.properties.value(QStringLiteral("trigger_description"))) });
    }
    return shortcuts;
}

QString objectPathOf(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

// Receives the bus's signals for the client: QtDBus delivers them to slots only.
class PortalSignals : public QObject {
    Q_OBJECT
public:
    std::function<void(const QDBusMessage&)> response, activated, shortcutsChanged, closed;
public slots:
    void onResponse(const QDBusMessage& m) { response(m); }
    void onActivated(const QDBusMessage& m) { activated(m); }
    void onShortcutsChanged(const QDBusMessage& m) { shortcutsChanged(m); }
    void onClosed(const QDBusMessage& m) { closed(m); }
};

struct GlobalShortcuts::Impl {
    using Answer = std::function<void(uint code, const QVariantMap& results, const QString& error)>;
    struct Pending {
        Answer answer;
        QTimer* deadline = nullptr;
    };

    GlobalShortcuts& q;
    QDBusConnection bus = QDBusConnection::sessionBus();
    PortalSignals relay;
    State state = State::Probing;
    bool registered = false;
    QString error;
    QString session;
    QList<Shortcut> wanted;
    QList<Shortcut> assigned;
    // What the desktop was last told, or found already holding at the first
    // session: a bind asks the desktop again only when the wanted set differs.
    std::optional<QList<Shortcut>> told;
    bool wantBound = false;
    int requests = 0;
    std::map<QString, Pending> pending; // by request path

    explicit Impl(GlobalShortcuts& owner)
        : q(owner)
    {
    }

    void setState(State next, const QString& why = {})
    {
        state = next;
        if (!why.isEmpty()) error = why;
        emit q.changed();
    }

    void probed(const QStringList& interfaces, const QString& why, const QString& appId);
    void offered();
    void request(const QString& method, QVariantList arguments, QVariantMap options, int limitMs, Answer answer);
    void finish(const QString& path, uint code, const QVariantMap& results, const QString& why);
    void createSession();
    void sessionAnswered(uint code, const QVariantMap& results, const QString& why);
    void listShortcuts(const QList<Shortcut>& offered);
    void holding(const QList<Shortcut>& held);
    void sendBind();
    void bindAnswered(const QList<Shortcut>& sent, uint code, const QVariantMap& results, const QString& why);
    void closeSession();
    void listen(bool on);
};

std::string portalTrigger(int virtualKey, int modifiers)
{
    const std::string key = wayland::swayKeyName(virtualKey);
    if (key.empty() || modifiers < 0 || modifiers > 15) return {};
    std::string trigger;
    if (modifiers & 2) trigger += "CTRL+";
    if (modifiers & 1) trigger += "ALT+";
    if (modifiers & 4) trigger += "SHIFT+";
    if (modifiers & 8) trigger += "LOGO+";
    return trigger + key;
}

// An id the user left without a trigger in the desktop's settings counts as
// held: that is the user's choice, not something to bind again.
bool holdsEvery(const QList<Shortcut>& held, const QList<Shortcut>& wanted)
{
    if (held.isEmpty()) return false;
    return std::all_of(wanted.begin(), wanted.end(), [&](const Shortcut& w) {
        return std::any_of(held.begin(), held.end(), [&](const Shortcut& h) { return h.id == w.id; });
    });
}

QString requestPath(const QString& uniqueName, const QString& token)
{
    QString sender = uniqueName.startsWith(u':') ? uniqueName.mid(1) : uniqueName;
    sender.replace(u'.', u'_');
    return desktopPath() + QStringLiteral("/request/") + sender + u'/' + token;
}

GlobalShortcuts::GlobalShortcuts(const QString& appId, QObject* parent)
    : QObject(parent)
    , m(std::make_unique<Impl>(*this))
{
    qDBusRegisterMetaType<DBusShortcut>();
    qDBusRegisterMetaType<DBusShortcuts>();
    m->relay.response = [this](const QDBusMessage& msg) {
        const auto args = msg.arguments();
        if (args.size() < 2) return m->finish(msg.path(), 2, {}, QStringLiteral("a malformed answer"));
        m->finish(msg.path(), args[0].toUInt(), qdbus_cast<QVariantMap>(args[1]), {});
    };
    m->relay.activated = [this](const QDBusMessage& msg) {
        const auto args = msg.arguments();
        if (args.size() < 2 || m->session.isEmpty() || objectPathOf(args[0]) != m->session) return;
        const QString id = args[1].toString();
        for (const Shortcut& s : m->wanted)
            if (s.id == id) emit activated(id);
    };
    m->relay.shortcutsChanged = [this](const QDBusMessage& msg) {
        const auto args = msg.arguments();
        if (args.size() < 2 || m->session.isEmpty() || objectPathOf(args[0]) != m->session) return;
        m->assigned = readShortcuts(args[1]);
        emit changed();
    };
    m->relay.closed = [this](const QDBusMessage& msg) {
        if (msg.path() != m->session) return;
        m->listen(false);
        m->session.clear();
        m->assigned.clear();
        m->setState(State::Idle, QStringLiteral("the desktop closed the shortcut session"));
    };
    probePortal(m->bus, ProbeLimitMs, this, [this, appId](const QStringList& interfaces, const QString& why) {
        m->probed(interfaces, why, appId);
    });
}

GlobalShortcuts::~GlobalShortcuts()
{
    m->wantBound = false;
    m->closeSession();
}

GlobalShortcuts::State GlobalShortcuts::state() const { return m->state; }
bool GlobalShortcuts::isRegistered() const { return m->registered; }
QString GlobalShortcuts::error() const { return m->error; }
QList<Shortcut> GlobalShortcuts::assigned() const { return m->assigned; }

void GlobalShortcuts::Impl::probed(const QStringList& interfaces, const QString& why, const QString& appId)
{
    if (!interfaces.contains(Interface)) {
        setState(State::Unavailable, why.isEmpty() ? QStringLiteral("the desktop portal offers no global shortcuts") : why);
        return;
    }
    // Registered first: the portal takes an application id only before any other call.
    if (!appId.isEmpty() && interfaces.contains(QString::fromLatin1(RegistryInterface))) {
        registerHostApp(bus, appId, RegistryLimitMs, &q, [this](bool ok, const QString& refusal) {
            registered = ok;
            if (!ok) error = refusal;
            offered();
        });
        return;
    }
    offered();
}

void GlobalShortcuts::Impl::offered()
{
    setState(State::Idle);
    if (wantBound) createSession();
}

void GlobalShortcuts::bind(const QList<Shortcut>& shortcuts)
{
    m->wanted = shortcuts;
    m->wantBound = true;
    switch (m->state) {
    case State::Idle: m->createSession(); break;
    // A refused bind leaves its session open; a new one under the same
    // token could be refused in turn.
    case State::Failed:
        m->closeSession();
        m->createSession();
        break;
    // The step under way compares what it asked with what is wanted now.
    case State::Binding: break;
    // Binding the same set again would only open the desktop's settings.
    case State::Bound:
        if (m->told != shortcuts) m->sendBind();
        break;
    case State::Probing:
    case State::Unavailable: break;
    }
}

void GlobalShortcuts::unbind()
{
    m->wantBound = false;
    const bool had = !m->session.isEmpty() || !m->assigned.isEmpty();
    m->closeSession();
    if (m->state == State::Bound || m->state == State::Failed || had) m->setState(State::Idle);
}

void GlobalShortcuts::Impl::request(
    const QString& method, QVariantList arguments, QVariantMap options, int limitMs, Answer answer)
{
    const QString token = QStringLiteral("kaptivus%1").arg(++requests);
    const QString path = requestPath(bus.baseService(), token);
    bus.connect(service(), path, RequestInterface, QStringLiteral("Response"), &relay,
        SLOT(onResponse(QDBusMessage)));
    auto* deadline = new QTimer(&q);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, &q,
        [this, path] { finish(path, 2, {}, QStringLiteral("the desktop portal did not answer in time")); });
    deadline->start(limitMs);
    pending[path] = { std::move(answer), deadline };

    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    auto message = QDBusMessage::createMethodCall(service(), desktopPath(), Interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, limitMs), &q);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &q, [this, watcher, path] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) return finish(path, 2, {}, reply.errorMessage());
        // A portal older than handle tokens answers elsewhere: listen there instead.
        const QString actual = reply.arguments().isEmpty() ? path : objectPathOf(reply.arguments().constFirst());
        const auto it = pending.find(path);
        if (actual == path || it == pending.end()) return;
        bus.disconnect(service(), path, RequestInterface, QStringLiteral("Response"), &relay,
            SLOT(onResponse(QDBusMessage)));
        bus.connect(service(), actual, RequestInterface, QStringLiteral("Response"), &relay,
            SLOT(onResponse(QDBusMessage)));
        pending[actual] = std::move(it->second);
        pending.erase(it);
    });
}

void GlobalShortcuts::Impl::finish(const QString& path, uint code, const QVariantMap& results, const QString& why)
{
    const auto it = pending.find(path);
    if (it == pending.end()) return;
    Pending done = std::move(it->second);
    pending.erase(it);
    bus.disconnect(service(), path, RequestInterface, QStringLiteral("Response"), &relay,
        SLOT(onResponse(QDBusMessage)));
    done.deadline->deleteLater();
    done.answer(code, results, why);
}

namespace {
// The portal's list of shortcuts as it travels on the bus.
DBusShortcuts toBus(const QList<Shortcut>& shortcuts)
{
    DBusShortcuts list;
    for (const Shortcut& s : shortcuts) {
        QVariantMap properties{ { QStringLiteral("description"), s.description } };
        if (!s.trigger.isEmpty()) properties.insert(QStringLiteral("preferred_trigger"), s.trigger);
        list.push_back({ s.id, properties });
    }
    return list;
}
} // namespace

void GlobalShortcuts::Impl::createSession()
{
    setState(State::Binding);
    // Some back-ends (KDE Plasma 5.27's) take the shortcuts only with the new
    // session and ignore BindShortcuts' list; the others ignore this option.
    QVariantMap options{ { QStringLiteral("session_handle_token"), SessionToken },
        { QStringLiteral("shortcuts"), QVariant::fromValue(toBus(wanted)) } };
    request(QStringLiteral("CreateSession"), {}, options, SessionLimitMs,
        [this](uint code, const QVariantMap& results, const QString& why) { sessionAnswered(code, results, why); });
}

void GlobalShortcuts::Impl::sessionAnswered(uint code, const QVariantMap& results, const QString& why)
{
    const QString handle = objectPathOf(results.value(QStringLiteral("session_handle")));
    if (code != 0 || handle.isEmpty()) {
        setState(State::Failed, why.isEmpty() ? QStringLiteral("the desktop refused a shortcut session") : why);
        return;
    }
    session = handle;
    listen(true);
    if (!wantBound) {
        // Unbound while the session was being made.
        closeSession();
        setState(State::Idle);
        return;
    }
    // A new preference must reach the desktop, whatever it keeps.
    if (told && *told != wanted) return sendBind();
    listShortcuts(readShortcuts(results.value(QStringLiteral("shortcuts"))));
}

// A desktop may show its shortcut settings at every BindShortcuts, so the
// shortcuts it keeps from an earlier session are only taken as they are.
void GlobalShortcuts::Impl::listShortcuts(const QList<Shortcut>& offered)
{
    const QList<Shortcut> asked = wanted;
    const QString listedSession = session;
    request(QStringLiteral("ListShortcuts"), { QVariant::fromValue(QDBusObjectPath(session)) }, {}, ListLimitMs,
        [this, asked, offered, listedSession](uint code, const QVariantMap& results, const QString&) {
            if (listedSession != session) return;
            // The preference changed while the desktop was answering.
            if (asked != wanted) return sendBind();
            // A portal that cannot list leaves the session's own answer.
            const QList<Shortcut> listed = code == 0 ? readShortcuts(results.value(QStringLiteral("shortcuts")))
                                                     : QList<Shortcut>{};
            if (holdsEvery(listed, wanted)) return holding(listed);
            if (holdsEvery(offered, wanted)) return holding(offered);
            sendBind();
        });
}

// The desktop keeps every shortcut: its triggers are the assigned ones, and
// the current preference counts as told.
void GlobalShortcuts::Impl::holding(const QList<Shortcut>& held)
{
    assigned = held;
    told = wanted;
    setState(State::Bound);
}

void GlobalShortcuts::Impl::sendBind()
{
    setState(State::Binding);
    const QList<Shortcut> sent = wanted;
    const QVariantList arguments{ QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(toBus(sent)),
        QString() };
    const QString boundSession = session;
    request(QStringLiteral("BindShortcuts"), arguments, {}, BindLimitMs,
        [this, boundSession, sent](uint code, const QVariantMap& results, const QString& why) {
            // An answer for a session closed since concerns nothing any more.
            if (boundSession != session) return;
            bindAnswered(sent, code, results, why);
        });
}

void GlobalShortcuts::Impl::bindAnswered(
    const QList<Shortcut>& sent, uint code, const QVariantMap& results, const QString& why)
{
    if (code != 0) {
        assigned.clear();
        setState(State::Failed, why.isEmpty() ? QStringLiteral("the desktop refused the shortcuts") : why);
        return;
    }
    told = sent;
    assigned = readShortcuts(results.value(QStringLiteral("shortcuts")));
    setState(State::Bound);
    // The preference changed while the desktop was answering.
    if (wantBound && wanted != sent) sendBind();
}

void GlobalShortcuts::Impl::closeSession()
{
    if (session.isEmpty()) return;
    listen(false);
    const auto message = QDBusMessage::createMethodCall(service(), session, SessionInterface, QStringLiteral("Close"));
    bus.asyncCall(message, SessionLimitMs);
    session.clear();
    assigned.clear();
}

// The session's signals: activations and changed triggers on the portal's
// object, its end on its own.
void GlobalShortcuts::Impl::listen(bool on)
{
    using Connect = bool (QDBusConnection::*)(const QString&, const QString&, const QString&, const QString&,
        QObject*, const char*);
    const Connect how = on ? static_cast<Connect>(&QDBusConnection::connect)
                           : static_cast<Connect>(&QDBusConnection::disconnect);
    (bus.*how)(service(), desktopPath(), Interface, QStringLiteral("Activated"), &relay,
        SLOT(onActivated(QDBusMessage)));
    (bus.*how)(service(), desktopPath(), Interface, QStringLiteral("ShortcutsChanged"), &relay,
        SLOT(onShortcutsChanged(QDBusMessage)));
    (bus.*how)(service(), session, SessionInterface, QStringLiteral("Closed"), &relay, SLOT(onClosed(QDBusMessage)));
}

} // namespace kaptivus::platform::portal

#include "GlobalShortcuts.moc"
