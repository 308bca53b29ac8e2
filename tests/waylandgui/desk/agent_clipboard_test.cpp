// The real agent, reached by --capture as a compositor binding reaches it,
// with no window of its own in front: the desktop it puts on the clipboard is
// what grim sees, read back by wl-paste.
#include "DeskTools.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kaptivus::test::desk;

TEST(WaylandAgentClipboard, DesktopRoutedToTheClipboardIsReadBackByWlPasteAsGrimSeesIt)
{
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const QImage expected = QImage::fromData(runTool(QStringLiteral("grim"), {QStringLiteral("-t"),
        QStringLiteral("ppm"), QStringLiteral("-")}).out);
    ASSERT_FALSE(expected.isNull());
    ASSERT_TRUE(runTool(QStringLiteral("wl-copy"), {QStringLiteral("--clear")}).exitCode == 0);

    QProcess agent;
    agent.setProcessEnvironment(environment);
    agent.start(agentProgram(), {});
    ASSERT_TRUE(agent.waitForStarted(5000));
    constexpr int kDesktopToClipboard = 103;
    int answer = -1;
    EXPECT_TRUE(waitUntil([&] {
        answer = runTool(agentProgram(), {QStringLiteral("--capture"), QString::number(kDesktopToClipboard)}, {},
            environment).exitCode;
        return answer != 1 || agent.state() == QProcess::NotRunning;
    }, 20s));
    ASSERT_EQ(answer, 0);
    EXPECT_TRUE(waitUntil([&] {
        return runTool(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")}).out == "image/png\nimage/bmp\n";
    })) << agent.readAllStandardError().toStdString();
    for (const char* type : {"image/png", "image/bmp"}) {
        SCOPED_TRACE(type);
        const ToolRun paste
            = runTool(QStringLiteral("wl-paste"), {QStringLiteral("--type"), QString::fromLatin1(type)});
        EXPECT_EQ(firstDifference(expected, QImage::fromData(paste.out)).toStdString(), "");
    }
    agent.terminate();
    EXPECT_TRUE(agent.waitForFinished(10000));
}
