// The Screenshot portal's request and its Response signal, through QtDBus.
// The signal is listened for on the predicted request path before the call
// goes out: a portal may answer before its reply to the call arrives.
#include "platform/portal/PortalRequest.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <charconv>
#include <optional>
#include <string>
#include <unistd.h>

namespace kaptivus::platform::portal {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// Receives the one Response of a request and ends the wait.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    QEventLoop loop;
    bool answered = false;
    uint code = 2;
    QVariantMap results;

public slots:
    void response(uint answerCode, const QVariantMap& answerResults)
    {
        if (answered) return;
        answered = true;
        code = answerCode;
        results = answerResults;
        loop.quit();
    }
};

// Listens for the Response signal on one request path, and stops listening when it goes.
class Subscription {
public:
    Subscription(QDBusConnection& bus, ResponseWaiter& waiter)
        : m_bus(bus)
        , m_waiter(waiter)
    {
    }
    ~Subscription() { drop(); }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    bool listen(const QString& path)
    {
        drop();
        if (!m_bus.connect(
                kService, path, kRequest, QStringLiteral("Response"), &m_waiter, SLOT(response(uint, QVariantMap))))
            return false;
        m_path = path;
        return true;
    }
    const QString& path() const { return m_path; }

private:
    void drop()
    {
        if (m_path.isEmpty()) return;
        m_bus.disconnect(
            kService, m_path, kRequest, QStringLiteral("Response"), &m_waiter, SLOT(response(uint, QVariantMap)));
        m_path.clear();
    }
    QDBusConnection& m_bus;
    ResponseWaiter& m_waiter;
    QString m_path;
};

ShotAnswer failure(ShotOutcome outcome, std::string error)
{
    return { outcome, {}, std::move(error) };
}

std::string timedOut(std::chrono::milliseconds limit)
{
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    return "the desktop's Screenshot portal did not answer within " + std::to_string(secs) + " seconds";
}

// The portal's refusal of the call itself, as the user should read it.
ShotAnswer callFailure(const QDBusError& error, std::chrono::milliseconds limit)
{
    if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout
        || error.type() == QDBusError::TimedOut)
        return failure(ShotOutcome::TimedOut, timedOut(limit));
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return failure(ShotOutcome::Unreachable,
            "no desktop portal (org.freedesktop.portal.Desktop) runs on the "
            "session bus");
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
        return failure(ShotOutcome::Unreachable, "the desktop portal offers no Screenshot interface");
    default:
        return failure(ShotOutcome::Failed,
            "the desktop's Screenshot portal refused the request: " + error.message().toStdString());
    }
}

ShotAnswer fromResponse(uint code, const QVariantMap& results)
{
    switch (code) {
    case 0: {
        const QString uri = results.value(QStringLiteral("uri")).toString();
        if (uri.isEmpty()) return failure(ShotOutcome::Failed, "the Screenshot portal answered without a picture");
        return { ShotOutcome::Taken, uri.toStdString(), {} };
    }
    case 1:
        return failure(ShotOutcome::Cancelled, "the screenshot was cancelled in the desktop's dialog");
    default:
        // The portal gives the same answer for a denied permission and a
        // failed grab; the permission is the usual cause and the one the user can change.
        return failure(ShotOutcome::Refused,
            "the desktop refused the screenshot (permission denied, or the desktop could not take it); "
            "screenshots are allowed again in the desktop's privacy settings");
    }
}

QString newToken()
{
    static unsigned serial = 0;
    return QStringLiteral("kaptivus%1_%2").arg(getpid()).arg(++serial);
}

} // namespace

std::string requestPath(std::string_view uniqueName, std::string_view token)
{
    std::string sender(uniqueName.starts_with(':') ? uniqueName.substr(1) : uniqueName);
    for (char& c : sender)
        if (c == '.') c = '_';
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + std::string(token);
}

std::chrono::seconds requestLimit(const char* seconds)
{
    constexpr std::chrono::seconds kDefault { 60 };
    if (seconds == nullptr || *seconds == '\0') return kDefault;
    const std::string_view text(seconds);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 600) return kDefault;
    return std::chrono::seconds(value);
}

ShotAnswer requestScreenshot(bool interactive, std::chrono::milliseconds limit)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return failure(ShotOutcome::Unreachable, "there is no D-Bus session bus to reach the desktop portal");
    ResponseWaiter waiter;
    Subscription subscription(bus, waiter);
    const QString token = newToken();
    if (!subscription.listen(QString::fromStdString(requestPath(bus.baseService().toStdString(), token.toStdString()))))
        return failure(ShotOutcome::Failed, "the desktop portal's answers cannot be listened for on the session bus");

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kScreenshot, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap { { QStringLiteral("handle_token"), token }, { QStringLiteral("interactive"), interactive },
                { QStringLiteral("modal"), true } };
    // The bus's own limit on the reply comes after ours, which ends the wait.
    QDBusPendingCallWatcher reply(bus.asyncCall(call, int(limit.count()) + 1000));
    std::optional<ShotAnswer> refused;
    QObject::connect(&reply, &QDBusPendingCallWatcher::finished, &waiter.loop, [&] {
        const QDBusPendingReply<QDBusObjectPath> handle = reply;
        if (handle.isError()) {
            refused = callFailure(handle.error(), limit);
            waiter.loop.quit();
            return;
        }
        // Portals older than the handle_token rule choose the path themselves.
        const QString path = handle.value().path();
        if (path != subscription.path() && !waiter.answered) subscription.listen(path);
    });
    bool late = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &waiter.loop, [&] {
        late = true;
        waiter.loop.quit();
    });
    deadline.start(limit);
    if (!waiter.answered) waiter.loop.exec();

    if (waiter.answered) return fromResponse(waiter.code, waiter.results);
    if (refused) return *refused;
    // The portal is told to drop the request, so no dialog stays up for an answer nobody awaits.
    bus.send(QDBusMessage::createMethodCall(kService, subscription.path(), kRequest, QStringLiteral("Close")));
    if (!late) return failure(ShotOutcome::Failed, "the program is quitting; the screenshot was abandoned");
    return failure(ShotOutcome::TimedOut, timedOut(limit));
}

} // namespace kaptivus::platform::portal

#include "PortalRequest.moc"
