// The standard headers most of the program's files include, compiled once per
// precompiled header. Only headers whose inclusion changes nothing else.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>
