// The Wayland tests' shared tools: bounded waits, programs run to their end,
// swaymsg, grim's pictures and picture comparison.
#pragma once

#include "pixels/Picture.h"

#include <QByteArray>
#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kaptivus::test {

using namespace std::chrono_literals;

// Polls `done` until it holds or the time is up, handling the calling
// thread's events meanwhile when it has an event loop (our clipboard is
// served from it); from any thread.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

struct ToolRun {
    int exitCode = -1; // -1 when it did not start or end in time
    QByteArray out;
    QByteArray err;
};
// Runs a program to its end (at most 20 s) with `input` on its standard input.
ToolRun runProgram(const QString& program, const QStringList& args, const QByteArray& input = {},
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
// The same, for a tool that must succeed: its standard output, or nothing and a test failure.
QByteArray runTool(const QString& program, const QStringList& args);

// swaymsg with a command: true when sway reports success (a test failure otherwise).
bool swaymsg(const QString& command);

// The agent program, staged by scripts/swayclient.sh --agent.
QString agentProgram();

// grim's picture of the whole desktop, or of one output when named.
QImage grim(const QString& output = {});
// grim's picture of a rectangle of the layout (its densest output's pixels),
// the compositor's pointer drawn in when asked.
QImage grimArea(const QRect& area, bool withPointer = false);
// A pixel as 0xRRGGBB.
uint32_t rgbAt(const QImage& picture, int x, int y);
uint32_t rgbAt(const pixels::Picture& picture, int x, int y);
// The first pixel where two pictures differ by more than `tolerance` in a
// channel, as text; empty when they agree (sizes included).
std::string firstDifference(const QImage& expected, const QImage& actual, int tolerance = 0);

} // namespace kaptivus::test
