// A user at the test compositor's pointer and keyboard.
#pragma once

#include "platform/Geometry.h"

#include <QProcess>
#include <QStringList>
#include <memory>

namespace kaptivus::test {

// The body of a test program run with --virtual-pointer: a virtual pointer
// that moves to "x y width height" (an absolute position within an extent)
// read from standard input, answering "ok" once the compositor has handled each.
int serveVirtualPointer();

// Moves go through a virtual pointer of the user's own (sway's `cursor set`
// sends no motion while a button is down), served by this very program run
// with --virtual-pointer; buttons go through sway's seat, keys through wtype.
// The pointer comes with the user and goes with it: sway 1.7 leaves a further
// output showing its background when a full-screen window maps there while a
// virtual pointer exists. From any one thread.
class User {
public:
    explicit User(platform::ScreenRect layoutBounds);
    ~User();
    void moveTo(int x, int y); // layout pixels
    void press(int button);
    void release(int button);
    void click(int button);
    void keys(const QStringList& names);

private:
    platform::ScreenRect m_bounds;
    std::unique_ptr<QProcess> m_pointer;
};

} // namespace kaptivus::test
