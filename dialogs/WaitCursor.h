// The application-wide hourglass of a long operation, one scope at a time:
// set on entry, restored on every way out, exceptions included.
#pragma once

namespace kaptivus::dialogs {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Takes every override cursor away at once, as the error report does
    // before its box; scopes still open then leave the cursor alone, so they
    // cannot undo a cursor set after the reset.
    static void RestoreAll();

private:
    unsigned m_generation;
};

} // namespace kaptivus::dialogs
