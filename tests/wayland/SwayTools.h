// The test compositor's command-line tools, shared by every Wayland test
// program: bounded waits, a program run to its end, and swaymsg.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

namespace kaptivus::test {

using namespace std::chrono_literals;

// Polls `done` until it holds or the time is up (any thread; no events handled).
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

// Runs a program to its end (at most 20 s); its standard output, or nothing
// (and a test failure) when it fails.
QByteArray runTool(const QString& program, const QStringList& args);

// swaymsg with a command; a test failure unless sway reports success.
void swaymsg(const QString& command);

} // namespace kaptivus::test
