// Monitors, window rectangles, the window under a point, the pointer,
// repainting the desktop and the bell, through the shared X connection.
#include "platform/Screen.h"
#include "platform/XcbSupport_p.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <xcb/randr.h>

namespace kaptivus::platform {

namespace {

// Frame extents are another client's data: absurd values are ignored.
constexpr uint32_t MaxFrameExtent = 4096;
constexpr int MaxTreeDepth = 64;

const xcb::Connection* usable()
{
    const xcb::Connection& conn = xcb::shared();
    if (!conn.isValid()) return nullptr;
    conn.discardEvents();
    return &conn;
}

std::vector<ScreenRect> randrMonitors(xcb_connection_t* c, xcb_window_t root)
{
    std::vector<ScreenRect> result;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_randr_id);
    if (!ext || !ext->present) return result;
    auto version = xcb::reply(c, xcb_randr_query_version_reply, xcb_randr_query_version(c, 1, 5));
    if (!version || (version->major_version == 1 && version->minor_version < 5)) return result;
    auto list = xcb::reply(c, xcb_randr_get_monitors_reply, xcb_randr_get_monitors(c, root, 1));
    if (!list) return result;
    xcb_randr_monitor_info_iterator_t it = xcb_randr_get_monitors_monitors_iterator(list.get());
    for (; it.rem > 0; xcb_randr_monitor_info_next(&it)) {
        const ScreenRect r { it.data->x, it.data->y, it.data->width, it.data->height };
        if (!r.isEmpty()) result.push_back(r);
    }
    return result;
}

// The window's border box in root coordinates (x, y of GetGeometry are the
// border's outer corner relative to the parent).
std::optional<ScreenRect> borderBox(xcb_connection_t* c, xcb_window_t root, xcb_window_t w)
{
    auto geometry = xcb::reply(c, xcb_get_geometry_reply, xcb_get_geometry(c, w));
    if (!geometry) return std::nullopt;
    auto origin = xcb::reply(c, xcb_translate_coordinates_reply, xcb_translate_coordinates(c, w, root, 0, 0));
    if (!origin) return std::nullopt;
    const int border = geometry->border_width;
    return ScreenRect { origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
        geometry->height + 2 * border };
}

// The ancestor directly below the root: the window manager's frame of a client.
xcb_window_t topLevelAncestor(xcb_connection_t* c, xcb_window_t root, xcb_window_t w)
{
    for (int depth = 0; depth < MaxTreeDepth; ++depth) {
        auto tree = xcb::reply(c, xcb_query_tree_reply, xcb_query_tree(c, w));
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE) return w;
        w = tree->parent;
    }
    return w;
}

// The top-most viewable InputOutput child of the root that holds the point.
xcb_window_t topLevelAt(xcb_connection_t* c, xcb_window_t root, ScreenPoint p, const std::vector<WindowId>& ignore)
{
    auto tree = xcb::reply(c, xcb_query_tree_reply, xcb_query_tree(c, root));
    if (!tree) return XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    std::vector<xcb_get_geometry_cookie_t> geometries;
    for (int i = 0; i < count; ++i) {
        attributes.push_back(xcb_get_window_attributes(c, children[i]));
        geometries.push_back(xcb_get_geometry(c, children[i]));
    }
    xcb_window_t found = XCB_WINDOW_NONE;
    // Children come bottom to top; every reply is collected, so none is left behind.
    for (int i = 0; i < count; ++i) {
        auto a = xcb::reply(c, xcb_get_window_attributes_reply, attributes[i]);
        auto g = xcb::reply(c, xcb_get_geometry_reply, geometries[i]);
        if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE || a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) continue;
        if (std::find(ignore.begin(), ignore.end(), children[i]) != ignore.end()) continue;
        const ScreenRect box { g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width };
        if (box.contains(p)) found = children[i];
    }
    return found;
}

bool isInputOutput(xcb_connection_t* c, xcb_window_t w)
{
    auto a = xcb::reply(c, xcb_get_window_attributes_reply, xcb_get_window_attributes(c, w));
    return a && a->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
}

// The first window below `frame` (breadth first, a few levels) that the window
// manager manages: the client inside a frame.
xcb_window_t clientInside(xcb_connection_t* c, xcb_window_t frame, xcb_atom_t wmState)
{
    std::vector<xcb_window_t> level { frame };
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<xcb_window_t> next;
        for (xcb_window_t w : level) {
            auto tree = xcb::reply(c, xcb_query_tree_reply, xcb_query_tree(c, w));
            if (!tree) continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            for (int i = 0; i < count; ++i) {
                if (xcb::hasProperty(c, children[i], wmState)) return children[i];
                next.push_back(children[i]);
            }
        }
        level = std::move(next);
    }
    return XCB_WINDOW_NONE;
}

} // namespace

std::vector<ScreenRect> monitors()
{
    const xcb::Connection* conn = usable();
    if (!conn) return {};
    std::vector<ScreenRect> result = randrMonitors(conn->get(), conn->root());
    if (result.empty()) result.push_back(screenRect());
    return result;
}

std::optional<ScreenRect> monitorRect(int index)
{
    const std::vector<ScreenRect> all = monitors();
    if (index < 0 || static_cast<size_t>(index) >= all.size()) return std::nullopt;
    return all[static_cast<size_t>(index)];
}

ScreenRect virtualDesktop()
{
    ScreenRect box;
    for (const ScreenRect& r : monitors())
        box = united(box, r);
    return box;
}

WindowId activeWindow()
{
    const xcb::Connection* conn = usable();
    if (!conn) return 0;
    xcb_connection_t* c = conn->get();
    const auto value = xcb::property32(c, conn->root(), xcb::atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 1);
    return value.empty() ? 0 : value.front();
}

ScreenRect windowClientRect(WindowId window)
{
    const xcb::Connection* conn = usable();
    if (!conn || window == 0) return {};
    xcb_connection_t* c = conn->get();
    auto geometry = xcb::reply(c, xcb_get_geometry_reply, xcb_get_geometry(c, window));
    if (!geometry) return {};
    auto origin
        = xcb::reply(c, xcb_translate_coordinates_reply, xcb_translate_coordinates(c, window, conn->root(), 0, 0));
    if (!origin) return {};
    return ScreenRect { origin->dst_x, origin->dst_y, geometry->width, geometry->height };
}

ScreenRect windowOuterRect(WindowId window)
{
    const xcb::Connection* conn = usable();
    if (!conn || window == 0) return {};
    xcb_connection_t* c = conn->get();
    if (window == conn->root()) return screenRect();
    const ScreenRect client = windowClientRect(window);
    if (client.isEmpty()) return {};
    const auto extents = xcb::property32(c, window, xcb::atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
    if (extents.size() == 4
        && std::all_of(extents.begin(), extents.end(), [](uint32_t e) { return e <= MaxFrameExtent; })) {
        const int l = static_cast<int>(extents[0]), r = static_cast<int>(extents[1]);
        const int t = static_cast<int>(extents[2]), b = static_cast<int>(extents[3]);
        return ScreenRect { client.left - l, client.top - t, client.width + l + r, client.height + t + b };
    }
    // A managed client without extents: its frame is the ancestor under the root.
    // Any other window (a control, an unmanaged window) is its own border box.
    xcb_window_t outer = window;
    if (xcb::hasProperty(c, window, xcb::atom(c, "WM_STATE"))) outer = topLevelAncestor(c, conn->root(), window);
    return borderBox(c, conn->root(), outer ? outer : window).value_or(ScreenRect {});
}

bool awaitWithdrawal(WindowId window, int limitMs)
{
    const xcb::Connection* conn = usable();
    if (!conn || window == 0) return true;
    xcb_connection_t* c = conn->get();
    const xcb_atom_t wmState = xcb::atom(c, "WM_STATE");
    // Property changes on the window wake the wait; the mask is this
    // connection's own and is taken back before returning.
    const uint32_t mask[] = { XCB_EVENT_MASK_PROPERTY_CHANGE };
    if (xcb::errorCode(c, xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, mask)) != 0) return true;
    constexpr uint32_t WithdrawnState = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    bool withdrawn = false;
    for (;;) {
        const auto state = xcb::property32(c, window, wmState, wmState, 1);
        withdrawn = state.empty() || state.front() == WithdrawnState;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (withdrawn || left <= 0) break;
        // An event already read in with the last reply would not wake poll.
        bool pending = false;
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            pending = true;
            std::free(e);
        }
        pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
        if (!pending) ::poll(&fd, 1, static_cast<int>(left));
    }
    const uint32_t none[] = { 0 };
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, none);
    xcb_flush(c);
    return withdrawn;
}

WindowId windowAt(ScreenPoint point, const std::vector<WindowId>& ignore)
{
    const xcb::Connection* conn = usable();
    if (!conn || !screenRect().contains(point)) return 0;
    xcb_connection_t* c = conn->get();
    const xcb_window_t root = conn->root();
    xcb_window_t w = topLevelAt(c, root, point, ignore);
    if (w == XCB_WINDOW_NONE) return root;
    for (int depth = 0; depth < MaxTreeDepth; ++depth) {
        auto t = xcb::reply(c, xcb_translate_coordinates_reply,
            xcb_translate_coordinates(c, root, w, static_cast<int16_t>(point.x), static_cast<int16_t>(point.y)));
        if (!t || t->child == XCB_WINDOW_NONE) break;
        w = t->child;
    }
    return w;
}

WindowId objectAt(ScreenPoint point, const std::vector<WindowId>& ignore)
{
    const xcb::Connection* conn = usable();
    if (!conn || !screenRect().contains(point)) return 0;
    xcb_connection_t* c = conn->get();
    const xcb_window_t root = conn->root();
    const xcb_window_t top = topLevelAt(c, root, point, ignore);
    if (top == XCB_WINDOW_NONE) return root;
    const xcb_atom_t wmState = xcb::atom(c, "WM_STATE");
    bool inClient = xcb::hasProperty(c, top, wmState);
    xcb_window_t w = top;
    for (int depth = 0; depth < MaxTreeDepth; ++depth) {
        auto t = xcb::reply(c, xcb_translate_coordinates_reply,
            xcb_translate_coordinates(c, root, w, static_cast<int16_t>(point.x), static_cast<int16_t>(point.y)));
        // Input-only windows catch events but show nothing: not an object.
        if (!t || t->child == XCB_WINDOW_NONE || !isInputOutput(c, t->child)) break;
        w = t->child;
        if (!inClient) inClient = xcb::hasProperty(c, w, wmState);
    }
    if (inClient) return w;
    // On the frame's decorations: the framed window as a whole; a top-level
    // without a client (a panel, a menu) is what it is.
    const xcb_window_t client = clientInside(c, top, wmState);
    return client != XCB_WINDOW_NONE ? client : w;
}

ScreenPoint pointerPosition()
{
    const xcb::Connection* conn = usable();
    if (!conn) return {};
    auto r = xcb::reply(conn->get(), xcb_query_pointer_reply, xcb_query_pointer(conn->get(), conn->root()));
    return r ? ScreenPoint { r->root_x, r->root_y } : ScreenPoint {};
}

void repaintDesktop()
{
    const xcb::Connection* conn = usable();
    if (!conn) return;
    xcb_connection_t* c = conn->get();
    const ScreenRect area = united(screenRect(), virtualDesktop());
    // No background: mapping shows nothing, unmapping exposes everything below.
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = { 1 };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, conn->root(), static_cast<int16_t>(area.left),
        static_cast<int16_t>(area.top), static_cast<uint16_t>(area.width), static_cast<uint16_t>(area.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, w);
    conn->sync();
    xcb_destroy_window(c, w);
    conn->sync();
}

void beep()
{
    const xcb::Connection* conn = usable();
    if (!conn) return;
    xcb_bell(conn->get(), 0);
    xcb_flush(conn->get());
}

} // namespace kaptivus::platform
