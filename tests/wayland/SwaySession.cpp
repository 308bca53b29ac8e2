// Driving the test compositor through its own command-line tools.
#include "SwaySession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptivus::test {
namespace {

const char* const kPointedAt[] = { "XDG_RUNTIME_DIR", "WAYLAND_DISPLAY", "SWAYSOCK" };

// A child that dies with the test.
void startChild(QProcess& process, const QString& program, const QStringList& args)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, args);
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// The sway configuration: the session's own, with XWayland when asked.
QString configuration(const QDir& runtime, bool xwayland)
{
    const QString shared = qEnvironmentVariable("KAPTIVUS_SWAY_CONFIG");
    if (!xwayland) return shared;
    QFile in(shared);
    QFile own(runtime.filePath("sway.config"));
    EXPECT_TRUE(in.open(QIODevice::ReadOnly) && own.open(QIODevice::WriteOnly));
    own.write(in.readAll().replace("xwayland disable", "xwayland enable"));
    return own.fileName();
}

} // namespace

QJsonDocument swayQuery(const QString& type)
{
    return QJsonDocument::fromJson(runTool("swaymsg", { "-r", "-t", type }));
}

PrivateSway::PrivateSway(bool xwayland, bool keyboard)
    : m_runtime(QDir::tempPath() + "/sway-XXXXXX")
{
    for (int i = 0; i < 3; ++i)
        m_saved[i] = qgetenv(kPointedAt[i]);
    const QDir runtime(m_runtime.path());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_runtime.path());
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    env.remove("WAYLAND_DISPLAY");
    env.remove("SWAYSOCK");
    m_sway.setProcessEnvironment(env);
    m_sway.setStandardOutputFile(QProcess::nullDevice());
    m_sway.setStandardErrorFile(runtime.filePath("sway.log"));
    startChild(m_sway, "sway", { "-c", configuration(runtime, xwayland) });
    const QString ipc = runtime.filePath(QString("sway-ipc.%1.%2.sock").arg(getuid()).arg(m_sway.processId()));
    QString display;
    m_ready = waitUntil(
        [&] {
            for (const QString& s : runtime.entryList({ "wayland-[0-9]*" }, QDir::System))
                if (!s.endsWith(".lock")) display = s;
            return !display.isEmpty() && QFileInfo::exists(ipc);
        },
        20s);
    QFile log(runtime.filePath("sway.log"));
    EXPECT_TRUE(m_ready) << "sway did not start: "
                         << (log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : std::string());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", display.toLocal8Bit());
    qputenv("SWAYSOCK", ipc.toLocal8Bit());
    m_ready = m_ready && waitUntil([] { return runProgram("swaymsg", { "-t", "get_version" }).exitCode == 0; });
    if (!keyboard || !m_ready) return;
    startChild(m_keyboard, "wtype", { "-s", "3600000" });
    // The seat's capabilities: 2 is a keyboard.
    m_ready
        = waitUntil([] { return swayQuery("get_seats").array().at(0).toObject().value("capabilities").toInt() == 2; });
    EXPECT_TRUE(m_ready) << "no keyboard on the seat";
}

namespace {

bool acceptsConnections(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

Weston::Weston()
    : m_socket("kaptivus-weston-" + QString::number(QCoreApplication::applicationPid()))
{
    m_process.setStandardErrorFile(QProcess::nullDevice());
    startChild(m_process, "weston", { "--backend=headless-backend.so", "--no-config", "--socket=" + m_socket });
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    // The socket's file is there from its bind, a moment before the compositor
    // listens: a client that came then would be refused.
    m_ready = waitUntil([&] { return acceptsConnections(runtime.filePath(m_socket)); });
}

Weston::~Weston()
{
    stop(m_process);
}

QString PrivateSway::xDisplay()
{
    // sway hands its own environment to what it starts.
    const QString file = QDir(m_runtime.path()).filePath("display");
    swaymsg(QString("exec printf %s \"$DISPLAY\" > %1").arg(file));
    QString display;
    waitUntil([&] {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) display = QString::fromLocal8Bit(f.readAll());
        return !display.isEmpty();
    });
    return display;
}

PrivateSway::~PrivateSway()
{
    stop(m_keyboard);
    stop(m_sway);
    for (int i = 0; i < 3; ++i) {
        if (m_saved[i].isNull())
            qunsetenv(kPointedAt[i]);
        else
            qputenv(kPointedAt[i], m_saved[i]);
    }
}

namespace {

QStringList headlessOutputs(int atLeast)
{
    QStringList names;
    for (;;) {
        names.clear();
        for (const QJsonValue& o : swayQuery("get_outputs").array())
            names << o.toObject().value("name").toString();
        if (names.size() >= atLeast) break;
        swaymsg("create_output");
    }
    std::sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    return names;
}

// Whether the toolkit's screens, if there is a toolkit, show the layout.
bool screensShow(const QStringList& names, const std::vector<OutputSetup>& setups)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
    for (size_t i = 0; i < setups.size(); ++i) {
        const OutputSetup& o = setups[i];
        const bool turned = o.rotation == 90 || o.rotation == 270;
        const QRect want(o.x, o.y, int(std::lround((turned ? o.height : o.width) / o.scale)),
            int(std::lround((turned ? o.width : o.height) / o.scale)));
        const auto screens = QGuiApplication::screens();
        if (std::none_of(screens.begin(), screens.end(),
                [&](QScreen* s) { return s->name() == names[int(i)] && s->geometry() == want; }))
            return false;
    }
    return true;
}

} // namespace

void arrangeOutputs(const std::vector<OutputSetup>& setups)
{
    const QStringList names = headlessOutputs(int(setups.size()));
    for (size_t i = 0; i < setups.size(); ++i) {
        const OutputSetup& s = setups[i];
        swaymsg(QString("output %1 enable mode %2x%3 position %4 %5 scale %6 transform %7 bg #%8 solid_color")
                    .arg(names[int(i)])
                    .arg(s.width)
                    .arg(s.height)
                    .arg(s.x)
                    .arg(s.y)
                    .arg(s.scale)
                    .arg(s.rotation == 0 ? QString("normal") : QString::number(s.rotation))
                    .arg(s.background, 6, 16, QChar('0')));
    }
    // sway 1.7 draws nothing of a new headless output's workspace until the
    // output has had the focus once; the first output keeps it.
    for (size_t i = setups.size(); i > 1; --i)
        swaymsg("focus output " + names[int(i) - 1]);
    if (setups.size() > 1) swaymsg("focus output " + names[0]);
    for (size_t i = 0; i < setups.size(); ++i) {
        const bool shown = waitUntil([&] {
            const QImage r = grim(names[int(i)]);
            return rgbAt(r, r.width() - 1, r.height() - 1) == setups[i].background;
        });
        ASSERT_TRUE(shown) << names[int(i)].toStdString() << " never showed its background";
    }
    EXPECT_TRUE(waitUntil([&] { return screensShow(names, setups); }))
        << "the toolkit's screens never showed the layout";
}

platform::ScreenRect layoutBounds()
{
    QRect bounds;
    for (const QJsonValue& o : swayQuery("get_outputs").array()) {
        const platform::ScreenRect r = jsonRect(o.toObject().value("rect"));
        bounds |= QRect(r.left, r.top, r.width, r.height);
    }
    return { bounds.x(), bounds.y(), bounds.width(), bounds.height() };
}

platform::ScreenRect jsonRect(const QJsonValue& value)
{
    const QJsonObject r = value.toObject();
    return { r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt() };
}

namespace {

// The first node under `node` (itself included) that `wanted` accepts.
QJsonObject firstNode(const QJsonObject& node, const std::function<bool(const QJsonObject&)>& wanted)
{
    if (wanted(node)) return node;
    for (const char* key : { "nodes", "floating_nodes" }) {
        for (const QJsonValue& child : node.value(key).toArray())
            if (QJsonObject found = firstNode(child.toObject(), wanted); !found.isEmpty()) return found;
    }
    return {};
}

} // namespace

QJsonObject windowOfPid(qint64 pid, const QString& title)
{
    return firstNode(swayQuery("get_tree").object(), [&](const QJsonObject& n) {
        return n.value("pid").toInteger() == pid && n.value("name").toString().startsWith(title);
    });
}

bool coveredBy(qint64 pid)
{
    int outputs = 0;
    for (const QJsonValue& v : swayQuery("get_tree").object().value("nodes").toArray()) {
        const QJsonObject output = v.toObject();
        if (output.value("name").toString() == "__i3") continue;
        ++outputs;
        const platform::ScreenRect whole = jsonRect(output.value("rect"));
        const QJsonObject cover = firstNode(output, [&](const QJsonObject& n) {
            return n.value("pid").toInteger() == pid && n.value("fullscreen_mode").toInt() == 1
                && jsonRect(n.value("rect")) == whole;
        });
        if (cover.isEmpty()) return false;
    }
    return outputs > 0;
}

platform::ScreenRect floatingFrame(const QJsonObject& node)
{
    const platform::ScreenRect rect = jsonRect(node.value("rect"));
    const int title = jsonRect(node.value("deco_rect")).height;
    return { rect.left, rect.top - title, rect.width, rect.height + title };
}

platform::ScreenRect clientArea(const QJsonObject& node)
{
    const platform::ScreenRect rect = jsonRect(node.value("rect"));
    const platform::ScreenRect inside = jsonRect(node.value("window_rect"));
    return { rect.left + inside.left, rect.top + inside.top, inside.width, inside.height };
}

Foot::Foot(const QString& appId, uint32_t background, const QString& rule)
    : m_appId(appId)
{
    if (!rule.isEmpty()) swaymsg(QString("for_window [app_id=%1] \"%2\"").arg(appId, rule));
    const QString colour = QString("%1").arg(background, 6, 16, QChar('0'));
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    // The shell hides the cursor and then waits: a window of one plain colour.
    startChild(m_process, "foot",
        { "-a", appId, "-o", "colors.background=" + colour, "sh", "-c", "printf '\\033[?25l'; exec sleep 600" });
    EXPECT_TRUE(waitUntil([&] { return node().value("visible").toBool(); }))
        << "foot " << appId.toStdString() << " never appeared";
}

Foot::~Foot()
{
    stop(m_process);
    EXPECT_TRUE(waitUntil([&] { return node().isEmpty(); })) << "foot " << m_appId.toStdString() << " stayed";
}

QJsonObject Foot::node() const
{
    return firstNode(
        swayQuery("get_tree").object(), [&](const QJsonObject& n) { return n.value("app_id").toString() == m_appId; });
}

} // namespace kaptivus::test
