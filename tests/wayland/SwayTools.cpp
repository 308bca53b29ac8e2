// The test compositor's command-line tools.
#include "SwayTools.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace kaptivus::test {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QThread::msleep(20);
    }
    return true;
}

QByteArray runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    return p.readAllStandardOutput();
}

void swaymsg(const QString& command)
{
    const QByteArray out = runTool("swaymsg", { command });
    EXPECT_TRUE(out.contains("\"success\": true") && !out.contains("\"success\": false"))
        << command.toStdString() << ": " << out.toStdString();
}

} // namespace kaptivus::test
