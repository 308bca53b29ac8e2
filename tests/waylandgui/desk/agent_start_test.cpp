// The real agent on a Wayland desktop with no D-Bus session bus and so no
// tray: it starts all the same, --capture 101 reaches it and shows the picture
// window, and a second start ends at once without a word.
#include "DeskTools.h"

#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kaptivus::test::desk;

namespace {

bool pictureWindowShown()
{
    const ToolRun tree = runTool(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")});
    return tree.out.contains("\"name\": \"Kaptivus 2000   v5.10 complet");
}

} // namespace

TEST(WaylandAgentStart, WithoutSessionBusOrTrayItStillAnswersCapture)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.remove(QStringLiteral("DISPLAY"));
    const QString binary = agentProgram();
    QProcess agent;
    agent.setProcessEnvironment(environment);
    agent.start(binary, {});
    ASSERT_TRUE(agent.waitForStarted(5000));
    ASSERT_FALSE(pictureWindowShown());

    // Answers once it listens: 1 ("no agent") until then.
    int answer = -1;
    EXPECT_TRUE(waitUntil([&] {
        answer = runTool(binary, {QStringLiteral("--capture"), QStringLiteral("101")}, {}, environment).exitCode;
        return answer != 1 || agent.state() == QProcess::NotRunning;
    }, 20s));
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(waitUntil(pictureWindowShown)) << "no picture window";

    const ToolRun second = runTool(binary, {}, {}, environment);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.isEmpty() && second.err.isEmpty()) << second.err.toStdString();
    EXPECT_EQ(agent.state(), QProcess::Running) << agent.readAllStandardError().toStdString();

    agent.terminate();
    EXPECT_TRUE(agent.waitForFinished(10000));
}
