// Reads sway's layout tree with Qt's JSON parser. In that tree `rect` is a
// container's place without its title bar, `deco_rect` the title bar relative
// to the parent, `window_rect` the contents relative to `rect`.
#include "platform/wayland/SwayTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace kaptivus::platform::wayland {
namespace {

constexpr int kMaxDepth = 256;

ScreenRect rectOf(const QJsonValue& value)
{
    const QJsonObject r = value.toObject();
    return ScreenRect { r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
        r.value("height").toInt() };
}

ScreenRect unite(const ScreenRect& a, const ScreenRect& b)
{
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    return ScreenRect { left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top };
}

struct Walker {
    SwayTree& tree;

    // A window's frame: its rect plus its own title bar. Inside a tabbed or
    // stacked parent the title is a tab in the parent's bar, not part of the frame.
    SwayWindow windowOf(const QJsonObject& node, const QJsonObject& parent, int depth, bool floating) const
    {
        SwayWindow w;
        w.id = static_cast<int64_t>(node.value("id").toDouble());
        w.pid = node.value("pid").toInteger();
        w.name = node.value("name").toString().toStdString();
        w.appId = node.value("app_id").toString().toStdString();
        w.focused = node.value("focused").toBool();
        w.floating = floating;
        w.depth = depth;
        const ScreenRect rect = rectOf(node.value("rect"));
        ScreenRect deco = rectOf(node.value("deco_rect"));
        const ScreenRect parentRect = rectOf(parent.value("rect"));
        deco.left += parentRect.left;
        deco.top += parentRect.top;
        const QString layout = parent.value("layout").toString();
        const bool tabbed = layout == "tabbed" || layout == "stacked";
        w.frame = tabbed ? rect : unite(rect, deco);
        const ScreenRect inside = rectOf(node.value("window_rect"));
        if (!inside.isEmpty() && node.value("nodes").toArray().isEmpty())
            w.client = ScreenRect { rect.left + inside.left, rect.top + inside.top, inside.width, inside.height };
        return w;
    }

    bool children(const QJsonObject& node, int depth, bool floating)
    {
        if (depth > kMaxDepth) return false;
        for (const char* key : { "nodes", "floating_nodes" }) {
            const bool isFloating = floating || std::string_view(key) == "floating_nodes";
            for (const QJsonValue& child : node.value(key).toArray()) {
                const QJsonObject c = child.toObject();
                tree.windows.push_back(windowOf(c, node, depth, isFloating));
                if (!children(c, depth + 1, isFloating)) return false;
            }
        }
        return true;
    }

    bool output(const QJsonObject& node)
    {
        OutputInfo o;
        o.name = node.value("name").toString().toStdString();
        o.logical = rectOf(node.value("rect"));
        o.scale = std::max(1, static_cast<int>(std::ceil(node.value("scale").toDouble(1.0))));
        tree.outputs.push_back(o);
        const QString shown = node.value("current_workspace").toString();
        for (const QJsonValue& ws : node.value("nodes").toArray()) {
            const QJsonObject w = ws.toObject();
            if (w.value("type").toString() == "workspace" && w.value("name").toString() == shown
                && !children(w, 0, false))
                return false;
        }
        return true;
    }
};

} // namespace

SwayTree parseSwayTree(std::string_view json)
{
    SwayTree tree;
    QJsonParseError parseError {};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &parseError);
    if (doc.isNull() || !doc.isObject()) {
        tree.error = "sway's layout tree is not valid JSON: " + parseError.errorString().toStdString() + ".";
        return tree;
    }
    Walker walker { tree };
    for (const QJsonValue& out : doc.object().value("nodes").toArray()) {
        const QJsonObject o = out.toObject();
        // "__i3" holds the scratchpad, which is never on screen.
        if (o.value("type").toString() != "output" || o.value("name").toString() == "__i3") continue;
        if (!walker.output(o)) {
            tree = SwayTree {};
            tree.error = "sway's layout tree nests too deeply.";
            return tree;
        }
    }
    return tree;
}

std::optional<SwayWindow> focusedWindow(const SwayTree& tree)
{
    for (const auto& w : tree.windows) {
        if (w.focused) return w;
    }
    return std::nullopt;
}

std::optional<SwayWindow> windowAt(const SwayTree& tree, ScreenPoint point)
{
    const SwayWindow* best = nullptr;
    for (const auto& w : tree.windows) {
        if (!w.frame.contains(point)) continue;
        const bool above = best == nullptr || (w.floating && !best->floating) || w.floating == best->floating;
        if (above) best = &w;
    }
    return best ? std::optional<SwayWindow>(*best) : std::nullopt;
}

} // namespace kaptivus::platform::wayland
