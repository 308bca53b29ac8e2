// The Wayland tests' shared tools.
#include "SwayTools.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace kaptivus::test {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        // A no-op in a thread without an event loop.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

ToolRun runProgram(
    const QString& program, const QStringList& args, const QByteArray& input, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, args);
    ToolRun run;
    if (!process.waitForStarted(5000)) return run;
    process.write(input);
    process.closeWriteChannel();
    // waitForFinished serves a thread without an event loop; waitUntil the loop of one that has it.
    if (!waitUntil([&] { return process.waitForFinished(10) || process.state() == QProcess::NotRunning; }, 20s)) {
        process.kill();
        process.waitForFinished(2000);
        return run;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QByteArray runTool(const QString& program, const QStringList& args)
{
    const ToolRun run = runProgram(program, args);
    if (run.exitCode == 0) return run.out;
    ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString()
                  << " failed: " << run.err.toStdString();
    return {};
}

bool swaymsg(const QString& command)
{
    const QByteArray out = runTool("swaymsg", { command });
    const bool ok = out.contains("\"success\": true") && !out.contains("\"success\": false");
    EXPECT_TRUE(ok) << command.toStdString() << ": " << out.toStdString();
    return ok;
}

QString agentProgram()
{
    return qEnvironmentVariable("KAPTIVUS_AGENT");
}

QImage grim(const QString& output)
{
    QStringList args { "-t", "ppm" };
    if (!output.isEmpty()) args << "-o" << output;
    return QImage::fromData(runTool("grim", args << "-")).convertToFormat(QImage::Format_RGB32);
}

QImage grimArea(const QRect& r, bool withPointer)
{
    QStringList args { "-t", "ppm", "-g", QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()) };
    if (withPointer) args << "-c";
    return QImage::fromData(runTool("grim", args << "-")).convertToFormat(QImage::Format_RGB32);
}

uint32_t rgbAt(const QImage& picture, int x, int y)
{
    return picture.valid(x, y) ? picture.pixel(x, y) & 0xFFFFFF : 0xFF000000u;
}

uint32_t rgbAt(const pixels::Picture& picture, int x, int y)
{
    const pixels::PixelBGR p = picture.pixel(x, y);
    return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
}

std::string firstDifference(const QImage& expected, const QImage& actual, int tolerance)
{
    if (expected.size() != actual.size())
        return QString("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height())
            .toStdString();
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < e.height(); ++y) {
        const auto* le = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        for (int x = 0; x < e.width(); ++x) {
            if (std::abs(qRed(le[x]) - qRed(la[x])) > tolerance || std::abs(qGreen(le[x]) - qGreen(la[x])) > tolerance
                || std::abs(qBlue(le[x]) - qBlue(la[x])) > tolerance)
                return QString("(%1,%2) is #%3, expected #%4")
                    .arg(x)
                    .arg(y)
                    .arg(la[x] & 0xFFFFFF, 6, 16, QChar('0'))
                    .arg(le[x] & 0xFFFFFF, 6, 16, QChar('0'))
                    .toStdString();
        }
    }
    return {};
}

} // namespace kaptivus::test
