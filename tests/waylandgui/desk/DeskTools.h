// Helpers for the Wayland desktop tests: waits with a deadline that keep the
// event loop running (our clipboard is served from it), tools run to their
// end, and pictures compared pixel by pixel.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QWidget>
#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace kaptivus::test::desk {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds or the time is up.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

struct ToolRun {
    int exitCode = -1; // -1 when it did not start or end in time
    QByteArray out;
    QByteArray err;
};
// Runs a program to its end (at most 20 s) with `input` on its standard
// input, while the event loop runs.
ToolRun runTool(const QString& program, const QStringList& args, const QByteArray& input = {},
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The real agent program, as scripts/swayclient.sh staged it.
QString agentProgram();

// swaymsg with a command: true when sway reports success.
bool swaymsg(const QString& command);

// A 6 x 5 picture whose every pixel differs and whose corners are red, green,
// blue and white, so that flips and channel swaps show.
QImage asymmetricPicture();

// The first pixel where two pictures differ by more than `tolerance` in a
// channel, as text; empty when they agree (sizes included).
QString firstDifference(const QImage& expected, const QImage& actual, int tolerance = 0);

} // namespace kaptivus::test::desk

namespace kaptivus::test::desk {

// Calls onModal with each modal widget that appears, from inside its own
// event loop, while the watcher lives.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> onModal);
    int seen = 0;

protected:
    void timerEvent(QTimerEvent*) override;

private:
    std::function<void(QWidget*)> m_onModal;
    QWidget* m_last = nullptr;
};

} // namespace kaptivus::test::desk
