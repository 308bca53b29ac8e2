// The screencopy grab against grim on the same desktop, and its refusals.
#include "platform/wayland/WlrScreencopy.h"

#include "SwaySession.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kaptivus::test {
namespace {

using platform::ScreenRect;
using platform::wayland::DesktopGrab;
using platform::wayland::WlrScreencopy;

struct DesktopCase {
    const char* name;
    std::vector<OutputSetup> outputs;
};

// Each output's place in the composed picture holds grim's picture of that
// output, every device pixel of it, widened by pixel replication when the
// output's scale is below the picture's.
void expectOutputsAsGrimSeesThem(const DesktopGrab& grab, const WlrScreencopy& copy)
{
    const ScreenRect bounds = grab.layout;
    for (const auto& o : copy.outputs()) {
        const QImage reference = grim(QString::fromStdString(o.name));
        // Every device pixel of the output, each repeated `factor` times a side.
        const int factor = int(std::lround(grab.scale * o.logical.width / reference.width()));
        ASSERT_EQ(reference.width() * factor, std::lround(o.logical.width * grab.scale)) << o.name;
        ASSERT_EQ(reference.height() * factor, std::lround(o.logical.height * grab.scale)) << o.name;
        const int left = int(std::lround((o.logical.left - bounds.left) * grab.scale));
        const int top = int(std::lround((o.logical.top - bounds.top) * grab.scale));
        int wrong = 0;
        for (int y = 0; y < reference.height() * factor; ++y) {
            for (int x = 0; x < reference.width() * factor; ++x)
                wrong += rgbAt(grab.picture, left + x, top + y) != rgbAt(reference, x / factor, y / factor);
        }
        EXPECT_EQ(wrong, 0) << o.name << ": pixels unlike grim's";
    }
}

TEST(WlrScreencopy, ComposedDesktopEqualsGrimOutputByOutput)
{
    const std::vector<DesktopCase> cases {
        { "one output", { { 1920, 1080, 0, 0, 1, 0, 0x203040 } } },
        { "one output scaled 1.5", { { 1920, 1080, 0, 0, 1.5, 0, 0x203040 } } },
        { "two outputs scaled 1.5", { { 1920, 1080, 0, 0, 1.5, 0, 0x10A050 }, { 1500, 900, 1280, 0, 1.5, 0, 0xA05010 } } },
        { "scales 1 and 2", { { 1920, 1080, 0, 0, 1, 0, 0x10A050 }, { 1280, 720, 1920, 0, 2, 0, 0xA05010 } } },
        { "second output left and higher",
            { { 1920, 1080, 0, 0, 1, 0, 0x10A050 }, { 1280, 720, -1280, -300, 1, 0, 0x5010A0 } } },
        { "second output turned", { { 1920, 1080, 0, 0, 1, 0, 0x10A050 }, { 1280, 720, 1920, 0, 1, 90, 0xA05010 } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateSway sway;
        ASSERT_TRUE(sway.isReady());
        arrangeOutputs(c.outputs);
        // An asymmetric window on the first output catches flips and shifts.
        Foot window("kaptivus-grab", 0xE03020, "floating enable, resize set 500 300, move position 100 60");
        ASSERT_TRUE(waitUntil([] { return rgbAt(grim("HEADLESS-1"), 300, 250) == 0xE03020; }));

        WlrScreencopy copy;
        ASSERT_TRUE(copy.isConnected()) << copy.error();
        ASSERT_EQ(copy.outputs().size(), c.outputs.size());
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            const OutputSetup& s = c.outputs[i];
            const bool turned = s.rotation == 90 || s.rotation == 270;
            const ScreenRect logical { s.x, s.y, int((turned ? s.height : s.width) / s.scale),
                int((turned ? s.width : s.height) / s.scale) };
            EXPECT_EQ(copy.outputs()[i].logical, logical) << i;
            // wl_output's scale is a whole number: a fractional one is rounded up.
            EXPECT_EQ(copy.outputs()[i].scale, int(std::ceil(s.scale))) << i;
        }
        const DesktopGrab grab = copy.grabDesktop();
        ASSERT_TRUE(grab.ok()) << grab.error;
        expectOutputsAsGrimSeesThem(grab, copy);
        if (c.outputs.size() == 1) {
            const QImage whole = grim();
            ASSERT_EQ(whole.width(), grab.picture.width());
            ASSERT_EQ(whole.height(), grab.picture.height());
        }
    }
}

// A compositor without the protocol, or no compositor at all: a message that
// names what is missing, and no picture.
TEST(WlrScreencopy, MissingScreencopyIsAnErrorNotAPicture)
{
    Weston weston;
    ASSERT_TRUE(weston.isReady()) << "weston did not start";

    struct Case {
        const char* name;
        std::string display;
        bool connects;
        const char* named;
    };
    const std::vector<Case> cases {
        { "weston, no screencopy", weston.socket().toStdString(), true, "zwlr_screencopy_manager_v1" },
        { "no such display", "kaptivus-nowhere", false, "Cannot connect to the Wayland display" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WlrScreencopy copy(c.display);
        EXPECT_EQ(copy.isConnected(), c.connects) << copy.error();
        EXPECT_FALSE(copy.canCapture());
        const DesktopGrab grab = copy.grabDesktop();
        EXPECT_FALSE(grab.ok());
        EXPECT_TRUE(grab.picture.isEmpty());
        EXPECT_NE(grab.error.find(c.named), std::string::npos) << grab.error;
    }
}

} // namespace
} // namespace kaptivus::test
