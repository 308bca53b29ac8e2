// The outcome of a settings-store operation: success, or a message saying what failed and why.
// Standard library only.
#pragma once

#include <string>
#include <utility>

namespace kaptivus::config {

struct [[nodiscard]] Status {
    std::string error; // empty when the operation worked

    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
    static Status success() { return {}; }
    static Status failure(std::string message) { return { std::move(message) }; }
};

} // namespace kaptivus::config
