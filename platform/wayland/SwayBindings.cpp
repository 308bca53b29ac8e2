// Virtual-key codes and modifier flags as sway's key names.
#include "platform/wayland/SwayBindings.h"

namespace kaptivus::platform::wayland {

namespace {

struct NamedKey {
    int virtualKey;
    const char* name;
};

// The dialog's keys outside the runs of letters, digits and function keys.
constexpr NamedKey kSingleKeys[] = {
    {44, "Print"}, {33, "Prior"}, {34, "Next"}, {35, "End"}, {36, "Home"},
    {106, "KP_Multiply"}, {107, "KP_Add"}, {109, "KP_Subtract"}, {111, "KP_Divide"},
};

// The path as one word of the shell command sway runs: quoted unless it holds
// only characters no shell or sway command parser treats specially.
std::string shellWord(std::string_view text)
{
    bool plain = !text.empty();
    for (const char c : text)
        plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                             || c == '/' || c == '.' || c == '_' || c == '-' || c == '+');
    if (plain) return std::string(text);
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string swayKeyName(int virtualKey)
{
    if (virtualKey >= 112 && virtualKey <= 123) return "F" + std::to_string(virtualKey - 111);
    if (virtualKey >= 96 && virtualKey <= 105) return "KP_" + std::to_string(virtualKey - 96);
    // Letters by their lower-case keysym: the upper-case one is Shift's.
    if (virtualKey >= 65 && virtualKey <= 90) return std::string(1, static_cast<char>('a' + virtualKey - 65));
    for (const NamedKey& key : kSingleKeys)
        if (key.virtualKey == virtualKey) return key.name;
    return {};
}

std::string swayCombination(int virtualKey, int modifiers)
{
    const std::string key = swayKeyName(virtualKey);
    if (key.empty() || modifiers < 0 || modifiers > 15) return {};
    std::string combination;
    if (modifiers & 8) combination += "Mod4+";
    if (modifiers & 1) combination += "Mod1+";
    if (modifiers & 2) combination += "Ctrl+";
    if (modifiers & 4) combination += "Shift+";
    return combination + key;
}

SwayBindingLines swayBindings(const std::array<int32_t, 12>& keys, const std::array<int32_t, 12>& modifiers,
    std::string_view program)
{
    SwayBindingLines result;
    const std::string command = shellWord(program);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == 0) continue;
        const int id = 101 + static_cast<int>(i);
        const std::string combination = swayCombination(keys[i], modifiers[i]);
        if (combination.empty()) {
            result.problems.push_back("hotkey " + std::to_string(id) + " has key code " + std::to_string(keys[i])
                + " and modifiers " + std::to_string(modifiers[i]) + ", which sway has no name for");
            continue;
        }
        result.lines.push_back("bindsym " + combination + " exec " + command + " --capture " + std::to_string(id));
    }
    return result;
}

} // namespace kaptivus::platform::wayland
