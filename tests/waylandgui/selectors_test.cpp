// The area selector and the object picker on Wayland: one full-screen window
// per output of a private headless sway, driven by the compositor's own
// pointer and keyboard, with outputs at scales 1, 1.5 and 2.
#include "SwaySession.h"
#include "WaylandUser.h"
#include "platform/CaptureBackend.h"
#include "select/Capturecontrol.h"
#include "select/Rectangle.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace kaptivus;
using namespace kaptivus::select;
using namespace kaptivus::test;

namespace {

struct Layout {
    const char* name;
    std::vector<OutputSetup> outputs;
};

// The desktop as the capture back-end reports it (monitors in desktop pixels,
// named as the toolkit's screens), and its bounds in layout pixels.
struct DeskLayout {
    std::vector<platform::Monitor> monitors;
    platform::ScreenRect desktop;
    platform::ScreenRect layoutBounds;
};

// Each a layout of the first outputs; sway cannot take an output away, so a
// table goes from one output to two, never back.
const Layout OneAt2 { "one output at 2", { { 1920, 1080, 0, 0, 2 } } };
const Layout OneAt15 { "one output at 1.5", { { 1920, 1080, 0, 0, 1.5 } } };
const Layout OneThen2 { "at 1, then at 2 to its right", { { 1920, 1080, 0, 0, 1 }, { 1280, 720, 1920, 0, 2 } } };

// A colour for every device pixel of an output: flat blocks of 8 x 8,
// different on every output, so that an output shown through a scaling (one
// at 1.5, which the toolkit draws at 2) still shows each block's colour at its
// centre.
uint32_t colourAt(int output, int x, int y)
{
    const int bx = x / 8;
    const int by = y / 8;
    return uint32_t((bx * 37 + output * 97) & 255) << 16 | uint32_t((by * 23) & 255) << 8
        | uint32_t((bx * by * 5 + 31) & 255);
}

// Snapshot pixels per device pixel of output i: more than one when a denser
// output sets the snapshot's scale.
double snapshotPerDevice(const DeskLayout& layout, const std::vector<OutputSetup>& outputs, size_t i)
{
    return double(layout.monitors[i].rect.width) / outputs[i].width;
}

// The snapshot a grab would give: each output's pixels, repeated where the
// snapshot's scale is larger than the output's own.
pixels::Picture patternSnapshot(const DeskLayout& layout, const std::vector<OutputSetup>& outputs)
{
    const platform::ScreenRect& d = layout.desktop;
    auto picture = pixels::Picture::create(d.width, d.height, pixels::PixelFormat::DeviceDefault);
    EXPECT_TRUE(picture.storageBits() == 32 && picture.redMask() == 0xFF0000 && picture.blueMask() == 0xFF);
    for (size_t i = 0; i < layout.monitors.size() && i < outputs.size(); ++i) {
        const platform::ScreenRect& m = layout.monitors[i].rect;
        const double f = snapshotPerDevice(layout, outputs, i);
        for (int y = 0; y < m.height; ++y) {
            // The screen's own format: 32-bit words of 0xXXRRGGBB.
            auto* row = reinterpret_cast<uint32_t*>(picture.scanLine(m.top - d.top + y)) + (m.left - d.left);
            for (int x = 0; x < m.width; ++x)
                row[x] = colourAt(int(i), int(x / f), int(y / f));
        }
    }
    return picture;
}

// sway's renderer blends even an opaque window at an alpha a hair below one:
// a channel may come out one lower. Neighbouring blocks differ far more.
bool near(uint32_t a, uint32_t b)
{
    for (int shift : { 0, 8, 16 })
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 2) return false;
    return true;
}

// Left out of the comparison: the top band, where the compositor may draw the
// pointer it starts with.
constexpr int TopBand = 128;

// Whether grim sees output i showing its slice of the snapshot: every pixel
// where the output's scale is a whole number and the snapshot holds a whole
// number of pixels per device pixel (nothing is resampled but by repetition);
// elsewhere the centre of every tenth block.
bool showsItsSlice(const DeskLayout& layout, const std::vector<OutputSetup>& outputs, size_t i)
{
    const QImage shot = grim(QString::fromStdString(layout.monitors[i].name));
    if (shot.isNull()) return false;
    const auto at = [&](int x, int y) { return rgbAt(shot, x, y); };
    const double f = snapshotPerDevice(layout, outputs, i);
    const bool whole = outputs[i].scale == std::floor(outputs[i].scale) && f == std::floor(f);
    const int step = whole ? 1 : 80;
    for (int y = whole ? TopBand : TopBand + 4; y < shot.height(); y += step)
        for (int x = whole ? 0 : 4; x < shot.width(); x += step)
            if (!near(at(x, y), colourAt(int(i), x, y))) return false;
    return true;
}

bool showsTheSnapshot(const DeskLayout& layout, const std::vector<OutputSetup>& outputs)
{
    for (size_t i = 0; i < outputs.size(); ++i)
        if (!showsItsSlice(layout, outputs, i)) return false;
    return true;
}

// Runs a selector modally while a user acts from another thread, once every
// output shows one of its windows, full screen. `state` runs on the GUI thread
// every few milliseconds (for conditions the user waits on). The user's
// failures come back as the returned text.
struct Session {
    std::atomic<bool> ready { false };
    std::function<void()> state;
    // A point (layout pixels) and whether the window of the output holding it
    // has the pointer, as the toolkit was told by the compositor.
    std::atomic<int> pointX { 0 };
    std::atomic<int> pointY { 0 };
    std::atomic<bool> pointerThere { false };

    int run(SnapshotWindow& selector, const std::function<void(User&)>& actions, const DeskLayout& layout,
        const std::vector<OutputSetup>& outputs)
    {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            bool shown = true;
            for (QWidget* w : selector.outputWindows())
                shown = shown && w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed()
                    && w->size() == w->screen()->geometry().size();
            ready = shown;
            const QPoint point(pointX, pointY);
            bool there = false;
            for (QWidget* w : selector.outputWindows())
                there = there || (w->isVisible() && w->underMouse() && w->screen()->geometry().contains(point));
            pointerThere = there;
            if (state) state();
        });
        poll.start(10);
        std::thread user([&] {
            // Shown means drawn: the compositor takes input for a window only
            // once it shows the window's new frame.
            if (waitUntil([&] { return ready.load() && coveredBy(getpid()) && showsTheSnapshot(layout, outputs); })) {
                User u(layout.layoutBounds);
                // Every output's window takes the pointer before the user acts:
                // a window shown full screen may still wait for the pointer's
                // enter, and a press before it is lost.
                for (const OutputSetup& o : outputs) {
                    pointX = o.x + int(o.width / o.scale) / 2;
                    pointY = o.y + int(o.height / o.scale) / 2;
                    pointerThere = false;
                    if (!waitUntil([&] {
                            u.moveTo(pointX, pointY);
                            return pointerThere.load();
                        }))
                        ADD_FAILURE() << "no pointer on the output at " << o.x << "," << o.y;
                }
                actions(u);
            } else
                ADD_FAILURE() << "the selector never covered every output";
            // Whatever the user did, the selector ends.
            waitUntil([&] { return !selector.isVisible(); }, 5s);
            QMetaObject::invokeMethod(&selector, "reject", Qt::QueuedConnection);
        });
        const int result = selector.exec();
        user.join();
        // Gone from the screen before the next one is judged by what it shows.
        EXPECT_TRUE(waitUntil([] { return windowOfPid(getpid()).isEmpty(); }));
        return result;
    }
};

struct Desktop {
    DeskLayout layout;
    pixels::Picture snapshot;
    std::vector<OutputSetup> outputs;
};

Desktop arrange(const Layout& l)
{
    arrangeOutputs(l.outputs);
    platform::CaptureBackend& backend = platform::captureBackend();
    Desktop s { { backend.monitors(), backend.virtualDesktop(), layoutBounds() }, {}, l.outputs };
    EXPECT_EQ(s.layout.monitors.size(), l.outputs.size());
    s.snapshot = patternSnapshot(s.layout, l.outputs);
    return s;
}

} // namespace

// A drag, after choosing the first preset (16 x 16) from the menu when
// `menuAt` is set; the area in snapshot pixels whatever the outputs' scales.
TEST(WaylandSelectors, AreaIsStoredInSnapshotPixels)
{
    struct Case {
        const Layout* layout;
        QPoint from; // layout pixels
        QPoint to; // the frame's bottom-right pixel
        AreaRect stored; // snapshot pixels
        QString readout; // none for a preset
        std::optional<QPoint> menuAt;
    };
    const Case cases[] = {
        { &OneAt15, { 300, 200 }, { 100, 80 }, { 150, 120, 451, 301 }, "301 x 181", {} },
        { &OneAt2, { 500, 300 }, { 520, 310 }, { 1024, 604, 1041, 621 }, "", QPoint(400, 300) },
        { &OneThen2, { 2100, 50 }, { 1700, 250 }, { 3400, 100, 4201, 501 }, "801 x 401", {} },
        { &OneThen2, { 2100, 150 }, { 2200, 200 }, { 4384, 384, 4401, 401 }, "", QPoint(2000, 100) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout->name);
        const Desktop s = arrange(*c.layout);
        AreaSelection selection;
        TRectangle1 selector(selection, s.layout.desktop, s.snapshot, s.layout.desktop, s.layout.monitors);
        std::atomic<bool> menuOpen { false };
        std::atomic<bool> presetMode { false };
        Session session;
        session.state = [&] {
            menuOpen = selector.PopupMenu1->isVisible();
            presetMode = selector.FixedSizeMode;
        };
        const int result = session.run(
            selector,
            [&](User& user) {
                if (c.menuAt) {
                    user.moveTo(c.menuAt->x(), c.menuAt->y());
                    user.press(3);
                    ASSERT_TRUE(waitUntil([&] { return menuOpen.load(); })) << "no menu";
                    user.release(3);
                    user.keys({ "Down", "Return" });
                    ASSERT_TRUE(waitUntil([&] { return presetMode.load() && !menuOpen.load(); }));
                }
                user.moveTo(c.from.x(), c.from.y());
                user.press(1);
                user.moveTo((c.from.x() + c.to.x()) / 2, (c.from.y() + c.to.y()) / 2);
                user.moveTo(c.to.x(), c.to.y());
                user.release(1);
            },
            s.layout, s.outputs);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(selection.SelectedArea, c.stored) << c.from.x() << "," << c.from.y();
        if (c.menuAt)
            EXPECT_TRUE(selector.R1->isChecked());
        else
            EXPECT_EQ(selector.StaticText1->text(), c.readout);
    }
}

TEST(WaylandSelectors, PickerPicksInSnapshotPixelsOnTheOutputPointedAt)
{
    struct Case {
        const Layout* layout;
        QPoint at; // layout pixels
        int button;
        platform::ScreenPoint picked;
        size_t readoutWindow; // which output's window shows the readout
    };
    const Case cases[] = {
        // 101 x 1.5 = 151.5: a logical point on an edge between two device pixels takes the right one.
        { &OneAt15, { 101, 77 }, 3, { 152, 116 }, 0 },
        { &OneThen2, { 2000, 100 }, 2, { 4000, 200 }, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout->name);
        const Desktop s = arrange(*c.layout);
        TCapturecontrol1 picker(s.snapshot, s.layout.desktop, s.layout.monitors);
        const int result = Session().run(
            picker,
            [&](User& user) {
                user.moveTo(c.at.x() - 10, c.at.y() - 10);
                user.moveTo(c.at.x(), c.at.y());
                user.click(c.button);
            },
            s.layout, s.outputs);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(picker.PickedPoint, c.picked);
        EXPECT_EQ(picker.StaticText1->text(), QString("%1 , %2").arg(c.picked.x).arg(c.picked.y));
        EXPECT_EQ(picker.StaticText1->window(), picker.outputWindows().at(c.readoutWindow));
    }
}
