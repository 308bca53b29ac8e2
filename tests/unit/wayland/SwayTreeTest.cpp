// Reading sway's layout tree: the rectangles of a typical tree, and hostile input.
#include "platform/wayland/SwayTree.h"

#include <array>
#include <gtest/gtest.h>

namespace kaptivus::platform::wayland {
namespace {

// A node as sway writes it; x y w h for rect, deco_rect and window_rect.
std::string node(const std::string& type, const std::string& extra, std::array<int, 12> r,
    const std::string& children = "", const std::string& floating = "")
{
    auto rect = [&](int i) {
        return "{\"x\":" + std::to_string(r[size_t(i)]) + ",\"y\":" + std::to_string(r[size_t(i) + 1]) + ",\"width\":"
            + std::to_string(r[size_t(i) + 2]) + ",\"height\":" + std::to_string(r[size_t(i) + 3]) + "}";
    };
    return "{\"type\":\"" + type + "\"," + extra + "\"rect\":" + rect(0) + ",\"deco_rect\":" + rect(4)
        + ",\"window_rect\":" + rect(8) + ",\"nodes\":[" + children + "],\"floating_nodes\":[" + floating + "]}";
}

// Output 1920x1080 at 100,0 showing workspace "1": a split holding view 11
// (title bar 25 high) and a tabbed container holding view 12; a floating view
// 13; workspace "2" (hidden) holds view 14; the scratchpad holds view 15.
std::string sampleTree()
{
    const std::string v11 = node("con", "\"id\":11,\"app_id\":\"left\",\"focused\":false,",
        { 100, 25, 960, 1055, 0, 0, 960, 25, 2, 0, 956, 1053 });
    const std::string v12 = node("con", "\"id\":12,\"app_id\":\"tab\",\"focused\":true,",
        { 1060, 25, 960, 1055, 0, 0, 960, 25, 2, 0, 956, 1053 });
    const std::string tabs
        = node("con", "\"id\":20,\"layout\":\"tabbed\",", { 1060, 0, 960, 1080, 960, 0, 960, 0, 0, 0, 0, 0 }, v12);
    const std::string v13 = node(
        "floating_con", "\"id\":13,\"app_id\":\"float\",", { 400, 225, 300, 200, 300, 200, 300, 25, 2, 0, 296, 198 });
    const std::string ws1 = node("workspace", "\"name\":\"1\",\"layout\":\"splith\",",
        { 100, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 0, 0 }, v11 + "," + tabs, v13);
    const std::string v14
        = node("con", "\"id\":14,\"app_id\":\"hidden\",", { 100, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 10, 10 });
    const std::string ws2 = node("workspace", "\"name\":\"2\",", { 100, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 0, 0 }, v14);
    const std::string out = node("output", "\"name\":\"HEADLESS-1\",\"scale\":2.0,\"current_workspace\":\"1\",",
        { 100, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 0, 0 }, ws1 + "," + ws2);
    const std::string v15
        = node("con", "\"id\":15,\"app_id\":\"scratch\",", { 0, 0, 500, 500, 0, 0, 0, 0, 0, 0, 9, 9 });
    const std::string scratch = node("output", "\"name\":\"__i3\",", { 0, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 0, 0 },
        node("workspace", "\"name\":\"__i3_scratch\",", { 0, 0, 1920, 1080, 0, 0, 0, 0, 0, 0, 0, 0 }, "", v15));
    return node("root", "", { 0, 0, 2020, 1080, 0, 0, 0, 0, 0, 0, 0, 0 }, scratch + "," + out);
}

TEST(SwayTree, RectanglesOfTiledTabbedAndFloatingWindows)
{
    const SwayTree tree = parseSwayTree(sampleTree());
    ASSERT_TRUE(tree.ok()) << tree.error;
    ASSERT_EQ(tree.outputs.size(), 1u);
    EXPECT_EQ(tree.outputs[0].name, "HEADLESS-1");
    EXPECT_EQ(tree.outputs[0].logical, (ScreenRect { 100, 0, 1920, 1080 }));
    EXPECT_EQ(tree.outputs[0].scale, 2);

    struct Case {
        ScreenPoint point;
        int64_t id; // 0: none
        ScreenRect frame;
        ScreenRect client;
    };
    const std::vector<Case> cases {
        { { 500, 500 }, 11, { 100, 0, 960, 1080 }, { 102, 25, 956, 1053 } }, // title bar above rect
        { { 500, 10 }, 11, { 100, 0, 960, 1080 }, { 102, 25, 956, 1053 } }, // on that title bar
        { { 1500, 500 }, 12, { 1060, 25, 960, 1055 }, { 1062, 25, 956, 1053 } }, // a tab is not its frame
        { { 1500, 10 }, 20, { 1060, 0, 960, 1080 }, {} }, // the tab bar: the container
        { { 450, 300 }, 13, { 400, 200, 300, 225 }, { 402, 225, 296, 198 } }, // floating, above view 11
        { { 50, 50 }, 0, {}, {} }, // off the output
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y);
        const auto w = windowAt(tree, c.point);
        ASSERT_EQ(w.has_value(), c.id != 0);
        if (w) {
            EXPECT_EQ(w->id, c.id);
            EXPECT_EQ(w->frame, c.frame);
            EXPECT_EQ(w->client, c.client);
        }
    }
    const auto focused = focusedWindow(tree);
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(focused->appId, "tab");
    for (const auto& w : tree.windows)
        EXPECT_TRUE(w.appId != "hidden" && w.appId != "scratch") << w.appId << " is not on screen";
}

TEST(SwayTree, HostileTreesGiveAnErrorNotACrash)
{
    std::string deep = "{}";
    for (int i = 0; i < 300; ++i)
        deep = "{\"type\":\"con\",\"nodes\":[" + deep + "]}";
    const std::string deepTree
        = "{\"nodes\":[{\"type\":\"output\",\"name\":\"O\",\"current_workspace\":\"1\",\"nodes\":"
          "[{\"type\":\"workspace\",\"name\":\"1\",\"nodes\":["
        + deep + "]}]}]}";
    const std::string sample = sampleTree();
    struct Case {
        const char* name;
        std::string json;
        bool error;
    };
    const std::vector<Case> cases {
        { "empty", "", true },
        { "not JSON", "i3-ipc", true },
        { "an array", "[1,2]", true },
        { "cut short", sample.substr(0, sample.size() / 2), true },
        { "nested too deeply", deepTree, true },
        { "wrong types", "{\"nodes\":5,\"rect\":\"x\"}", false },
        { "rectangles of wrong types", "{\"nodes\":[{\"type\":\"output\",\"rect\":[1],\"current_workspace\":7}]}",
            false },
    };
    for (const auto& c : cases) {
        const SwayTree tree = parseSwayTree(c.json);
        EXPECT_EQ(!tree.ok(), c.error) << c.name << ": " << tree.error;
        if (!tree.ok()) {
            EXPECT_TRUE(tree.windows.empty()) << c.name;
        }
    }
}

} // namespace
} // namespace kaptivus::platform::wayland
