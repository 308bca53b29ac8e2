#include "SettingsTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kaptivus::e2e {

std::string tempFolder()
{
    const char* t = std::getenv("TMPDIR");
    std::string folder = (t && *t) ? t : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::vector<ExpectedValue> defaultSettings()
{
    // Built afresh each time: every test has its own temp folder.
    return [] {
        std::vector<ExpectedValue> v;
        auto num = [&](const std::string& name, long long n) { v.push_back({name, false, n, {}}); };
        auto text = [&](const std::string& name, const std::string& t) { v.push_back({name, true, 0, t}); };
        for (int i = 0; i < 12; ++i) {
            const std::string n = std::to_string(i);
            num("HotKey" + n, (i == 0 || i == 3) ? 44 : 0);
            num("Modifier" + n, i == 3 ? 1 : 0);
            num("IndexH" + n, (i == 0 || i == 3) ? 1 : 0);
            num("IndexM" + n, i == 3 ? 1 : 0);
        }
        num("Copies", 1);
        num("Resize", 100);
        num("Rotation", 0);
        num("PosX", -1); // depends on the screen: not compared
        num("PosY", -1);
        num("Width", -1);
        num("Height", -1);
        num("CaptureDelay", 1000);
        num("TimerDelay", 30);
        for (int k = 1; k <= 13; ++k) text("Hist" + std::to_string(k), "");
        num("CustomW", 64);
        num("CustomH", 64);
        num("Color1", 0);
        num("Color2", 16777215);
        num("Color3", 0);
        num("Colors", 0);
        num("PercentP", 100);
        num("PercentI", 100);
        num("PercentPic", 1);
        num("PercentPage", 0);
        num("Transparent", 0);
        num("Sound", 1);
        num("Client", 0);
        num("ClipBoard", 0);
        num("Tray", 0);
        num("Cursor", 0);
        num("Aligment", 0);
        num("Proportion", 1);
        num("Portrait", 1);
        num("Landscape", 0);
        num("Cpi12", 0);
        num("Cpi10", 0);
        num("Cpi8", 1);
        num("FDateTime", 1);
        num("FUserInfo", 0);
        num("FText", 0);
        num("ClosePrint", 1);
        num("AutoSave", 0);
        num("Direct", 0);
        num("Monitor_0", 1);
        for (int i = 1; i <= 4; ++i) num("Monitor_" + std::to_string(i), 0);
        text("LoadFolder", tempFolder());
        text("SaveFolder", tempFolder());
        text("AutoFolder", tempFolder());
        text("Printer", "\x01"); // the printer list decides: not compared
        text("Footer", "Kaptivus 2000 Version 5.10");
        text("DefaultFile", "MyPicture");
        text("Editor", "");
        text("DefaultExt", ".GIF");
        for (const char* name : {"Grayed", "Vertically", "Horizontally", "Sharpen", "Swap", "Substitute", "Inversed",
                                 "Emboss"})
            num(name, 0);
        for (const char* name : {"Brightness", "Contrast", "Saturate", "Red", "Green", "Blue", "Frame"}) num(name, 0);
        return v;
    }();
}

std::string defaultSettingsBody(const std::vector<std::pair<std::string, std::string>>& replace,
                                const std::vector<std::string>& drop)
{
    std::string body;
    for (const auto& v : defaultSettings()) {
        if (std::find(drop.begin(), drop.end(), v.name) != drop.end()) continue;
        std::string value;
        if (v.isText) {
            value = "\"" + (v.text == "\x01" ? std::string("Default Printer") : v.text) + "\"";
        } else {
            char hex[32];
            std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(v.number < 0 ? 0 : v.number));
            value = hex;
            if (v.name == "Width" || v.name == "Height") value = "dword:00000280"; // 640
            if (v.name == "PosX" || v.name == "PosY") value = "dword:00000010";
        }
        for (const auto& [name, replacement] : replace)
            if (name == v.name) value = replacement;
        body += "\"" + v.name + "\"=" + value + "\r\n";
    }
    return body;
}

} // namespace kaptivus::e2e
