// Errors meant for the user: the message is what the error box shows. No Qt,
// so the pixel pipeline and the codecs' callers can throw them.
#pragma once

#include <stdexcept>
#include <string>

namespace kaptivus::dialogs {

// Caught by the handler that ran the failing step (ReportFailures in
// dialogs/ErrorReport.h) and shown as it is.
class UserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A picture of the given size could not be made for lack of memory.
class PictureMemoryError : public UserError {
public:
    PictureMemoryError(int width, int height)
        : UserError("Not enough memory for a picture of " + std::to_string(width) + " x " + std::to_string(height))
        , m_width(width)
        , m_height(height)
    {
    }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width;
    int m_height;
};

} // namespace kaptivus::dialogs
