// The in-memory form of a registry export: keys in file order, each with its values in
// file order. Lookups of key paths and value names ignore ASCII case, like the registry,
// while the stored spelling is kept. No file I/O here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::config {

enum class ValueKind {
    Dword, // dword:XXXXXXXX
    Text, // "quoted", or a clean hex(1): UTF-16 string
    Raw, // any other hex kind, kept exactly as written (continuation lines included)
};

struct RegistryValue {
    std::string name; // unescaped; empty for the default value written as @
    ValueKind kind = ValueKind::Text;
    uint32_t dword = 0; // Dword
    std::string data; // Text: the UTF-8 text; Raw: everything after '=' (lines joined by '\n')

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

struct RegistryKeyData {
    std::string path; // e.g. HKEY_CURRENT_USER\SOFTWARE\Kaptivus2000\V5.10
    std::vector<RegistryValue> values;

    RegistryValue* findValue(std::string_view name);
    const RegistryValue* findValue(std::string_view name) const;
    // Replaces a value of the same name in place (keeping its spelling) or appends a new one.
    void setValue(RegistryValue value);
    bool removeValue(std::string_view name);

    friend bool operator==(const RegistryKeyData&, const RegistryKeyData&) = default;
};

struct RegistryDocument {
    std::vector<RegistryKeyData> keys;

    RegistryKeyData* findKey(std::string_view path);
    const RegistryKeyData* findKey(std::string_view path) const;
    // A key exists when it has its own section or when any section lies below it.
    bool keyExists(std::string_view path) const;
    // Returns the key's section, appending an empty one when it has none.
    RegistryKeyData& ensureKey(std::string_view path);
    // Removes the key and every key below it. The parent keeps (or gets) a section of its
    // own so that it still exists afterwards. Returns false when nothing was removed.
    bool removeKeyTree(std::string_view path);

    friend bool operator==(const RegistryDocument&, const RegistryDocument&) = default;
};

// ASCII case-insensitive equality, as the registry compares key and value names.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// True when `path` is `ancestor` itself or lies below it.
bool isSameOrBelow(std::string_view path, std::string_view ancestor);
// A key path is one or more non-empty components of at most 255 bytes separated by '\',
// without control characters or ']' at its end; at most 4096 bytes in all.
bool isValidKeyPath(std::string_view path);

} // namespace kaptivus::config
