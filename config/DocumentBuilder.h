// Builds a RegistryDocument line by line while a file is read, with indexes so that a
// file of hundreds of thousands of values or deletions still reads in linear time.
// Internal to the parser; no file I/O.
#pragma once

#include "config/RegistryDocument.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kaptivus::config {

class DocumentBuilder {
public:
    // Index of the key's section, created at the end when the key has none.
    size_t ensureKey(std::string_view path);
    // Removes the key with every key below it; the parent keeps existing (it gets an
    // empty section at the end when nothing else holds it).
    void removeTree(std::string_view path);
    // Replaces a value of the same name in place (keeping its spelling) or appends it.
    void setValue(size_t key, RegistryValue value);
    void removeValue(size_t key, std::string_view name);
    RegistryDocument finish();

private:
    struct Section {
        std::string path;
        std::vector<std::optional<RegistryValue>> values; // empty slots are removed values
        std::unordered_map<std::string, size_t> names; // lower-case name -> slot
        bool live = true;
    };
    bool exists(const std::string& lowerPath) const;

    std::vector<Section> m_sections;
    std::map<std::string, size_t> m_live; // lower-case path -> section; subtrees are ranges
};

} // namespace kaptivus::config
