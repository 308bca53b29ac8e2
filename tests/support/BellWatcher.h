// Counts the X bells rung on the display (XKB BellNotify events), so a test
// can see that the program beeped even where no sound comes out.
#pragma once

#include <chrono>

namespace kaptivus::test {

class BellWatcher {
public:
    BellWatcher();
    ~BellWatcher();
    BellWatcher(const BellWatcher&) = delete;
    BellWatcher& operator=(const BellWatcher&) = delete;

    // False when the server has no XKB (then count() stays 0).
    bool isWatching() const { return m_watching; }
    // Bells rung since the watcher was made.
    int count();
    // Waits until at least `n` bells have rung.
    bool waitForCount(int n, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

private:
    struct Connection;
    Connection* m_connection = nullptr;
    bool m_watching = false;
    int m_count = 0;
};

} // namespace kaptivus::test
