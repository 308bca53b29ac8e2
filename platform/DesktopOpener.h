// Opens an address or a document with the desktop's opener (xdg-open), run
// without a shell; the caller learns asynchronously whether it worked.
#pragma once

#include <QUrl>

#include <functional>

namespace kaptivus::platform {

// Starts the opener and returns at once. `finished` is called exactly once:
// with false when no opener exists, it cannot be started, it ends with a
// non-zero status or by a signal; with true when it exits with status 0. The
// opener may outlive the caller's window; `finished` must guard what it uses.
void openWithDesktop(const QUrl& url, std::function<void(bool)> finished);

} // namespace kaptivus::platform
