// The settings record as a person would find it after a first start: every
// value name with its stored kind and default. Folders default to the temp folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kaptivus::e2e {

struct ExpectedValue {
    std::string name;
    bool isText = false;
    long long number = 0; // dword values
    std::string text;     // text values
};

// In the order the program writes them.
std::vector<ExpectedValue> defaultSettings();
// The temporary-files folder with its trailing separator, as the program sees it.
std::string tempFolder();

// A complete default key as the program writes it, with some values replaced.
std::string defaultSettingsBody(const std::vector<std::pair<std::string, std::string>>& replace = {},
                                const std::vector<std::string>& drop = {});

} // namespace kaptivus::e2e
