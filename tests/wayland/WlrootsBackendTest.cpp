// The wlroots back-end's monitors follow sway's outputs as they come and
// change, on one connection kept between questions.
#include "platform/CaptureBackend.h"

#include "SwaySession.h"

#include <gtest/gtest.h>

namespace kaptivus::test {
namespace {

using platform::Monitor;
using platform::ScreenRect;

struct LayoutStep {
    const char* name;
    std::vector<OutputSetup> outputs;
    std::vector<std::pair<std::string, ScreenRect>> monitors; // in desktop coordinates
    ScreenRect desktop;
};

TEST(WlrootsBackend, MonitorsFollowTheOutputsAsTheyChange)
{
    const OutputSetup first { 1920, 1080, 0, 0, 1, 0, 0x203040 };
    const std::vector<LayoutStep> steps {
        { "one output", { first }, { { "HEADLESS-1", { 0, 0, 1920, 1080 } } }, { 0, 0, 1920, 1080 } },
        { "a second output scaled 2: the desktop in its device pixels",
            { first, { 1280, 720, 1920, 0, 2, 0, 0x10A050 } },
            { { "HEADLESS-1", { 0, 0, 3840, 2160 } }, { "HEADLESS-2", { 3840, 0, 1280, 720 } } },
            { 0, 0, 5120, 2160 } },
        { "the second output moved to the left at scale 1", { first, { 1280, 720, -1280, 0, 1, 0, 0x10A050 } },
            { { "HEADLESS-1", { 0, 0, 1920, 1080 } }, { "HEADLESS-2", { -1280, 0, 1280, 720 } } },
            { -1280, 0, 3200, 1080 } },
    };
    PrivateSway sway;
    ASSERT_TRUE(sway.isReady());
    auto backend = platform::makeWlrootsBackend();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        arrangeOutputs(step.outputs);
        const std::vector<Monitor> monitors = backend->monitors();
        ASSERT_EQ(monitors.size(), step.monitors.size());
        for (size_t i = 0; i < monitors.size(); ++i) {
            EXPECT_EQ(monitors[i].name, step.monitors[i].first);
            EXPECT_EQ(monitors[i].rect, step.monitors[i].second) << monitors[i].name;
        }
        EXPECT_EQ(backend->virtualDesktop(), step.desktop);
        const platform::DesktopGrab whole = backend->grab(step.desktop);
        ASSERT_TRUE(whole.ok()) << whole.error;
        EXPECT_EQ(whole.picture.width(), step.desktop.width);
        EXPECT_EQ(whole.picture.height(), step.desktop.height);
    }
}

} // namespace
} // namespace kaptivus::test
