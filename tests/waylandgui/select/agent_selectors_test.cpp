// The real agent driven through its area selector and object picker: started
// with `--capture` as a compositor binding would, the selector handled with the
// compositor's own pointer and keyboard, and the numbered file compared pixel
// for pixel with grim's picture of the desktop taken before.
#include "WaylandDesk.h"

#include "SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::test;

namespace {

constexpr int kAreaToFile = 108;
constexpr int kAreaToWindow = 107;
constexpr int kObjectToFile = 111;
constexpr int kCancelled = 5;

// What grim sees of a rectangle of the layout, the compositor's pointer included when asked.
QImage grimArea(const QRect& r, const QString& pointer = "")
{
    const QString area = QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    const QStringList args = QStringList{pointer, "-g", area, "-"}.filter(QRegularExpression("."));
    return QImage::fromData(runTool("grim", args)).convertToFormat(QImage::Format_RGB32);
}

QImage aroundPointer(const QPoint& p) { return grimArea({p - QPoint(32, 32), QSize(64, 64)}, "-c"); }

// The first pixel where two pictures differ, as text; empty when they agree.
std::string firstDifference(const QImage& expected, const QImage& actual)
{
    if (expected.size() != actual.size())
        return QString("size %1x%2, expected %3x%4").arg(actual.width()).arg(actual.height())
            .arg(expected.width()).arg(expected.height()).toStdString();
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if ((expected.pixel(x, y) ^ actual.pixel(x, y)) & 0xFFFFFF)
                return QString("(%1,%2) is #%3, expected #%4").arg(x).arg(y).arg(actual.pixel(x, y) & 0xFFFFFF, 6, 16)
                    .arg(expected.pixel(x, y) & 0xFFFFFF, 6, 16).toStdString();
    return {};
}

// A floating foot window of one colour; its frame (title bar included) in layout pixels.
QRect footFrame(const QJsonObject& node)
{
    const QJsonObject r = node.value("rect").toObject();
    const int title = node.value("deco_rect").toObject().value("height").toInt();
    return {r.value("x").toInt(), r.value("y").toInt() - title, r.value("width").toInt(),
        r.value("height").toInt() + title};
}

QJsonObject nodeOf(const QJsonObject& node, const QString& appId)
{
    if (node.value("app_id").toString() == appId) return node;
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(list).toArray())
            if (QJsonObject found = nodeOf(child.toObject(), appId); !found.isEmpty()) return found;
    return {};
}

QJsonObject footNode()
{
    return nodeOf(QJsonDocument::fromJson(runTool("swaymsg", {"-r", "-t", "get_tree"})).object(), "kaptivus-pick");
}

// The agent with a settings file of its own: numbered PNG files into a folder of the test's.
struct Agent {
    Agent()
    {
        env.insert("XDG_CONFIG_HOME", config.path());
        QDir(config.path()).mkpath("Kaptivus2000");
        QFile file(QDir(config.path()).filePath("Kaptivus2000/registry.reg"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\r\n");
        file.write(e2e::defaultSettingsBody({{"AutoFolder", '"' + folder.path().toStdString() + '"'},
            {"Sound", "dword:00000000"}, {"DefaultExt", "\".PNG\""}}).c_str());
        file.close();
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("KAPTIVUS_AGENT"), {});
        process.waitForStarted(5000);
        // It listens for --capture once its command socket exists: the agent
        // binds and listens in one go, before its event loop starts.
        const QString socket = QDir(env.value("XDG_RUNTIME_DIR"))
                                   .filePath("Kaptivus_v5." + env.value("WAYLAND_DISPLAY") + ".sock");
        EXPECT_TRUE(waitProcessing([&] { return QFile::exists(socket); }, 15s)) << "the agent never listened";
    }
    ~Agent()
    {
        process.terminate();
        if (process.waitForFinished(10000)) return;
        process.kill();
        process.waitForFinished(5000);
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files); }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir config;
    QTemporaryDir folder;
    QProcess process;
};

struct Case {
    const char* name;
    int action;
    std::function<void(User&)> act; // once the selector takes the pointer
    int exitCode;
    QRect expected; // device pixels of the desktop; empty: no picture
};

// Each a layout of the first outputs (sway cannot take one away), and a drag
// within it; the desktop's device pixels are those of its densest output.
struct Layout {
    const char* name;
    std::vector<Output> outputs;
    int scale;
    QPoint from;
    QPoint to;
};

// The desktop as the agent composes it: each output's grim picture at its
// place in device pixels, a sparser output's pixels repeated.
QImage deviceDesktop(const Layout& l)
{
    const platform::ScreenRect bounds = deskLayout().layoutBounds;
    QImage desktop(bounds.width * l.scale, bounds.height * l.scale, QImage::Format_RGB32);
    desktop.fill(Qt::black);
    QPainter painter(&desktop);
    for (size_t i = 0; i < l.outputs.size(); ++i) {
        const Output& o = l.outputs[i];
        const QImage shot = QImage::fromData(runTool("grim", {"-o", QString("HEADLESS-%1").arg(i + 1), "-"}));
        const int f = l.scale / int(o.scale);
        painter.drawImage(o.x * l.scale, o.y * l.scale, shot.scaled(shot.size() * f, Qt::IgnoreAspectRatio,
            Qt::FastTransformation));
    }
    return desktop;
}

// The pointer waits there, off every rectangle: sway's headless outputs draw
// it into what screencopy and grim see.
constexpr QPoint kParked(1800, 1000);

// One capture through the agent's selector: the desktop taken, the command
// started, the user acting once the selector has the pointer, the outcome checked.
void captureThrough(const Layout& l, const Case& c, User& user, const QImage& desktopPointer, const QRect& frame)
{
    // Drawn red inside and with the desktop's pointer before the desktop is taken.
    ASSERT_TRUE(waitProcessing([&] {
        return grimArea({frame.center(), QSize(1, 1)}).pixel(0, 0) == 0xFFE03020
            && aroundPointer(kParked) == desktopPointer;
    }));
    const QImage before = deviceDesktop(l);
    Agent agent;
    QProcess command;
    command.setProcessEnvironment(agent.env);
    command.start(qEnvironmentVariable("KAPTIVUS_AGENT"), {"--capture", QString::number(c.action)});
    ASSERT_TRUE(waitProcessing([&] { return coveredBy(agent.process.processId()); }))
        << "the selector never covered the outputs";
    // The selector's pointer shown: the compositor now sends it the pointer
    // and the keys (a mapped window may still lack its first full-screen frame).
    ASSERT_TRUE(waitProcessing([&] {
        user.moveTo(kParked.x() + 1, kParked.y());
        user.moveTo(kParked.x(), kParked.y());
        return aroundPointer(kParked) != desktopPointer;
    })) << "the selector never took the pointer";
    c.act(user);
    ASSERT_TRUE(waitProcessing([&] { return command.state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(command.exitCode(), c.exitCode) << command.readAllStandardError().toStdString();
    // Gone from the screen, and no picture window in its place.
    EXPECT_TRUE(waitProcessing([&] { return !shownBy(agent.process.processId()); }));
    user.moveTo(kParked.x(), kParked.y());
    if (c.expected.isEmpty()) {
        EXPECT_EQ(agent.files(), QStringList());
        return;
    }
    QImage saved;
    ASSERT_TRUE(waitProcessing([&] {
        return agent.files().size() == 1
            && !(saved = QImage(QDir(agent.folder.path()).filePath(agent.files().first()))).isNull();
    }));
    EXPECT_EQ(firstDifference(before.copy(c.expected), saved), "");
}

} // namespace

TEST(WaylandAgentSelectors, CommandEndsWithTheChosenPictureOrCancelled)
{
    if (!haveDesk()) GTEST_SKIP() << "no compositor";
    const Layout layouts[] = {
        {"one output at 1", {{1920, 1080, 0, 0, 1}}, 1, {140, 90}, {700, 420}},
        {"at 1, then at 2 to its right", {{1920, 1080, 0, 0, 1}, {1280, 720, 1920, 0, 2}}, 2, {1800, 100},
            {2100, 300}},
    };
    swaymsg("for_window [app_id=kaptivus-pick] \"floating enable, resize set 500 300, move absolute position 300 200\"");
    QProcess foot;
    foot.start("foot", {"-a", "kaptivus-pick", "-o", "colors.background=e03020", "sh", "-c",
        "printf '\\033[?25l'; exec sleep 600"});
    ASSERT_TRUE(waitProcessing([] { return footNode().value("rect").toObject().value("width").toInt() == 500; }));
    const QRect frame = footFrame(footNode());
    const QImage bare = aroundPointer(kParked);
    QImage desktopPointer;
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        arrangeOutputs(l.outputs);
        User user(deskLayout().layoutBounds);
        user.moveTo(kParked.x(), kParked.y());
        if (desktopPointer.isNull()) {
            ASSERT_TRUE(waitProcessing([&] { return (desktopPointer = aroundPointer(kParked)) != bare; }));
        }
        const auto drag = [&](User& u) {
            const QRect edge(l.from.x() + 40, l.from.y(), 200, 1);
            const QImage edgeBefore = grimArea(edge);
            u.moveTo(l.from.x(), l.from.y());
            u.press(1);
            u.moveTo((l.from.x() + l.to.x()) / 2, (l.from.y() + l.to.y()) / 2);
            // The frame's top edge drawn, clear of the pointer: the press and the move reached the selector.
            EXPECT_TRUE(waitProcessing([&] { return grimArea(edge) != edgeBefore; }));
            u.moveTo(l.to.x(), l.to.y());
            u.release(1);
        };
        const auto pick = [&](User& u) {
            u.moveTo(frame.center().x(), frame.center().y());
            u.click(1);
        };
        const Case cases[] = {
            // Both corners' pixels belong to the area.
            {"area dragged to a file", kAreaToFile, drag, 0, QRect(l.from * l.scale, l.to * l.scale)},
            {"area given up with Escape", kAreaToWindow, [](User& u) { u.keys({"Escape"}); }, kCancelled, {}},
            {"foot window picked to a file", kObjectToFile, pick, 0,
                QRect(frame.topLeft() * l.scale, frame.size() * l.scale)},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            captureThrough(l, c, user, desktopPointer, frame);
        }
    }
    foot.terminate();
    foot.waitForFinished(5000);
}
