// Waits, tools and picture comparisons for the Wayland desktop tests.
#include "DeskTools.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

namespace kaptivus::test::desk {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

ToolRun runTool(const QString& program, const QStringList& args, const QByteArray& input,
    const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, args);
    ToolRun run;
    if (!process.waitForStarted(5000)) return run;
    process.write(input);
    process.closeWriteChannel();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, 20s)) {
        process.kill();
        process.waitForFinished(2000);
        return run;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QString agentProgram() { return qEnvironmentVariable("KAPTIVUS_AGENT"); }

bool swaymsg(const QString& command)
{
    const ToolRun run = runTool(QStringLiteral("swaymsg"), {command});
    return run.exitCode == 0 && run.out.contains("\"success\": true");
}

QImage asymmetricPicture()
{
    QImage image(6, 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(40 * x + 10, 50 * y + 5, 90 + 7 * x + 11 * y));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(5, 0, qRgb(0, 255, 0));
    image.setPixel(0, 4, qRgb(0, 0, 255));
    image.setPixel(5, 4, qRgb(255, 255, 255));
    return image;
}

QString firstDifference(const QImage& expected, const QImage& actual, int tolerance)
{
    if (expected.size() != actual.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb e = expected.pixel(x, y);
            const QRgb a = actual.pixel(x, y);
            if (std::abs(qRed(e) - qRed(a)) > tolerance || std::abs(qGreen(e) - qGreen(a)) > tolerance
                || std::abs(qBlue(e) - qBlue(a)) > tolerance)
                return QStringLiteral("(%1,%2) is #%3, expected #%4")
                    .arg(x).arg(y).arg(a & 0xFFFFFF, 6, 16, QChar('0')).arg(e & 0xFFFFFF, 6, 16, QChar('0'));
        }
    return {};
}

} // namespace kaptivus::test::desk

namespace kaptivus::test::desk {

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> onModal)
    : m_onModal(std::move(onModal))
{
    startTimer(10);
}

void ModalWatcher::timerEvent(QTimerEvent*)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_last) {
        m_last = modal;
        ++seen;
        m_onModal(modal);
    } else if (!modal) {
        m_last = nullptr;
    }
}

} // namespace kaptivus::test::desk
