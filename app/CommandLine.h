// The options that do their job from the command line and end the process
// before any window, setting or hotkey exists. Needs no display.
#pragma once

#include <optional>
#include <ostream>

// The exit code when the command line asked for one of these options, or
// nothing when the agent is to start (other arguments are left to the toolkit).
std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);
