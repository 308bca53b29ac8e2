// The wlroots back-end's window questions against sway's own report, with a
// window of this very program on the desktop, which the object picker's
// lookup must see through as the agent's picker window is seen through.
#include "../SwaySession.h"
#include "platform/CaptureBackend.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRasterWindow>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kaptivus::test {
namespace {

using platform::ScreenPoint;
using platform::ScreenRect;

class PlainWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::gray); }
};

ScreenRect doubled(const ScreenRect& r)
{
    return { r.left * 2, r.top * 2, r.width * 2, r.height * 2 };
}

struct ObjectCase {
    const char* name;
    ScreenPoint point; // in desktop coordinates: the layout doubled, the outputs' largest scale
    const char* under; // the foot expected there, or nothing for the background
};

TEST(WlrootsBackend, ObjectAtSeesThroughOwnWindowsToTheWindowBelow)
{
    arrangeOutputs({ { 1920, 1080, 0, 0, 1, 0, 0x203040 }, { 1280, 720, 1920, 0, 2, 0, 0x10A050 } });
    Foot left("kaptivus-left", 0xE03020, "floating enable, resize set 500 300, move absolute position 100 60");
    Foot right("kaptivus-right", 0x2030E0, "floating enable, resize set 400 200, move absolute position 2100 60");
    // Ours, above both: it covers the left foot and some of the background.
    swaymsg(QString("for_window [pid=%1] \"floating enable, resize set 900 600, move absolute position 0 0\"")
                .arg(getpid()));
    PlainWindow own;
    own.setTitle("kaptivus-own");
    own.show();
    ASSERT_TRUE(waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return jsonRect(windowOfPid(getpid()).value("rect")).width == 900;
        },
        10s));
    const std::vector<ObjectCase> cases {
        { "our window above a foot", { 2 * 300, 2 * 200 }, "kaptivus-left" },
        { "our window above the background", { 2 * 800, 2 * 500 }, nullptr },
        { "a foot on the doubled output", { 2 * 2200, 2 * 150 }, "kaptivus-right" },
        { "the doubled output's background", { 2 * 3000, 2 * 600 }, nullptr },
    };
    auto backend = platform::makeWlrootsBackend();
    ASSERT_EQ(backend->virtualDesktop(), (ScreenRect { 0, 0, 2 * (1920 + 640), 2 * 1080 }));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::WindowRects object = backend->objectAt(c.point, { platform::WindowId(own.winId()) });
        ASSERT_TRUE(object.ok()) << object.error;
        if (c.under == nullptr) {
            EXPECT_TRUE(object.frame.isEmpty());
            continue;
        }
        const QJsonObject node = c.under == left.appId() ? left.node() : right.node();
        EXPECT_EQ(object.frame, doubled(floatingFrame(node)));
        EXPECT_EQ(object.client, doubled(clientArea(node)));
    }
}

} // namespace
} // namespace kaptivus::test
