// Driving the test compositor through its own command-line tools.
#include "SwaySession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace kaptivus::test {

QJsonDocument swayQuery(const QString& type)
{
    return QJsonDocument::fromJson(runTool("swaymsg", { "-r", "-t", type }));
}

PrivateSway::PrivateSway(bool xwayland)
    : m_runtime(QDir::tempPath() + "/sway-XXXXXX")
{
    QString config = qEnvironmentVariable("KAPTIVUS_SWAY_CONFIG");
    if (xwayland) {
        QFile shared(config);
        config = QDir(m_runtime.path()).filePath("sway.config");
        QFile own(config);
        EXPECT_TRUE(shared.open(QIODevice::ReadOnly) && own.open(QIODevice::WriteOnly));
        own.write(shared.readAll().replace("xwayland disable", "xwayland enable"));
    }
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
    m_sway.setStandardErrorFile(QDir(m_runtime.path()).filePath("sway.log"));
    // A test that dies must not leave its compositor behind.
    m_sway.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_sway.start("sway", { "-c", config });
    const QDir runtime(m_runtime.path());
    const QString ipc = runtime.filePath(QString("sway-ipc.%1.%2.sock").arg(getuid()).arg(m_sway.processId()));
    QString display;
    m_ready = waitUntil(
        [&] {
            const QStringList sockets = runtime.entryList({ "wayland-[0-9]*" }, QDir::System);
            for (const QString& s : sockets) {
                if (!s.endsWith(".lock")) display = s;
            }
            return !display.isEmpty() && QFileInfo::exists(ipc);
        },
        20s);
    QFile log(QDir(m_runtime.path()).filePath("sway.log"));
    EXPECT_TRUE(m_ready) << "sway did not start: "
                         << (log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : std::string());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", display.toLocal8Bit());
    qputenv("SWAYSOCK", ipc.toLocal8Bit());
    m_ready = m_ready && waitUntil([] {
        QProcess p;
        p.start("swaymsg", { "-t", "get_version" });
        return p.waitForFinished(5000) && p.exitCode() == 0;
    });
}

QString PrivateSway::xDisplay()
{
    // sway hands its own environment to what it starts.
    const QString file = QDir(m_runtime.path()).filePath("display");
    swaymsg(QString("exec printf %s \"$DISPLAY\" > %1").arg(file));
    QString display;
    waitUntil([&] {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return false;
        display = QString::fromLocal8Bit(f.readAll());
        return !display.isEmpty();
    });
    return display;
}

PrivateSway::~PrivateSway()
{
    m_sway.terminate();
    if (!m_sway.waitForFinished(10000)) {
        m_sway.kill();
        m_sway.waitForFinished(5000);
    }
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("SWAYSOCK");
}

uint32_t Rgb::at(int x, int y) const
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData()) + (size_t(y) * size_t(width) + size_t(x)) * 3;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

Rgb grim(const QString& output)
{
    QStringList args { "-t", "ppm" };
    if (!output.isEmpty()) args << "-o" << output;
    const QByteArray ppm = runTool("grim", args << "-");
    // P6, width, height, 255, each followed by one white-space byte.
    const QList<QByteArray> fields = ppm.left(64).split('\n');
    Rgb rgb;
    if (fields.size() < 4 || fields[0] != "P6") return rgb;
    const QList<QByteArray> size = fields[1].split(' ');
    rgb.width = size.value(0).toInt();
    rgb.height = size.value(1).toInt();
    const qsizetype header = fields[0].size() + fields[1].size() + fields[2].size() + 3;
    rgb.bytes = ppm.mid(header);
    if (rgb.bytes.size() != qsizetype(rgb.width) * rgb.height * 3) rgb = Rgb {};
    return rgb;
}

uint32_t rgbAt(const pixels::Picture& picture, int x, int y)
{
    const pixels::PixelBGR p = picture.pixel(x, y);
    return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
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

} // namespace

void arrangeOutputs(const std::vector<OutputSetup>& setups)
{
    const QStringList names = headlessOutputs(int(setups.size()));
    for (int i = 0; i < names.size(); ++i) {
        if (i >= int(setups.size())) break;
        const OutputSetup& s = setups[size_t(i)];
        swaymsg(QString("output %1 enable mode %2x%3 position %4 %5 scale %6 transform %7 bg #%8 solid_color")
                    .arg(names[i])
                    .arg(s.width)
                    .arg(s.height)
                    .arg(s.x)
                    .arg(s.y)
                    .arg(s.scale)
                    .arg(s.rotation == 0 ? QString("normal") : QString::number(s.rotation))
                    .arg(s.background, 6, 16, QChar('0')));
    }
    for (size_t i = 0; i < setups.size(); ++i) {
        const bool shown = waitUntil([&] {
            const Rgb r = grim(names[int(i)]);
            return r.width > 0 && r.at(r.width - 1, r.height - 1) == setups[i].background;
        });
        ASSERT_TRUE(shown) << names[int(i)].toStdString() << " never showed its background";
    }
}

QJsonObject findNode(const QJsonObject& root, const QString& appId, QJsonObject* parent)
{
    for (const char* key : { "nodes", "floating_nodes" }) {
        for (const QJsonValue& child : root.value(key).toArray()) {
            const QJsonObject c = child.toObject();
            if (c.value("app_id").toString() == appId) {
                if (parent) *parent = root;
                return c;
            }
            const QJsonObject found = findNode(c, appId, parent);
            if (!found.isEmpty()) return found;
        }
    }
    return {};
}

platform::ScreenRect jsonRect(const QJsonValue& value)
{
    const QJsonObject r = value.toObject();
    return { r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt() };
}

QJsonObject windowOfPid(qint64 pid, const QString& title)
{
    const std::function<QJsonObject(const QJsonObject&)> find = [&](const QJsonObject& node) {
        for (const char* key : { "nodes", "floating_nodes" }) {
            for (const QJsonValue& child : node.value(key).toArray()) {
                const QJsonObject c = child.toObject();
                if (c.value("pid").toInteger() == pid && c.value("name").toString().startsWith(title)) return c;
                if (QJsonObject found = find(c); !found.isEmpty()) return found;
            }
        }
        return QJsonObject {};
    };
    return find(swayQuery("get_tree").object());
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
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The shell hides the cursor and then waits: a window of one plain colour.
    m_process.start("foot",
        { "-a", appId, "-o", "colors.background=" + colour, "sh", "-c", "printf '\\033[?25l'; exec sleep 600" });
    EXPECT_TRUE(waitUntil([&] { return node().value("visible").toBool(); }))
        << "foot " << appId.toStdString() << " never appeared";
}

Foot::~Foot()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    EXPECT_TRUE(waitUntil([&] { return node().isEmpty(); })) << "foot " << m_appId.toStdString() << " stayed";
}

QJsonObject Foot::node() const
{
    return findNode(swayQuery("get_tree").object(), m_appId);
}

} // namespace kaptivus::test
