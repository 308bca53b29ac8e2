// Case-insensitive lookups and edits of the in-memory registry.
#include "config/RegistryDocument.h"

#include <algorithm>

namespace kaptivus::config {

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view parentOf(std::string_view path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view {} : path.substr(0, slash);
}

} // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool isSameOrBelow(std::string_view path, std::string_view ancestor)
{
    if (path.size() < ancestor.size() || !equalsIgnoreCase(path.substr(0, ancestor.size()), ancestor)) return false;
    return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

bool isValidKeyPath(std::string_view path)
{
    if (path.empty() || path.size() > 4096 || path.front() == '-' || path.back() == ']') return false;
    size_t componentLength = 0;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
        if (c == '\\') {
            if (componentLength == 0) return false;
            componentLength = 0;
        } else if (++componentLength > 255) {
            return false;
        }
    }
    return componentLength > 0;
}

RegistryValue* RegistryKeyData::findValue(std::string_view name)
{
    for (auto& value : values)
        if (equalsIgnoreCase(value.name, name)) return &value;
    return nullptr;
}

const RegistryValue* RegistryKeyData::findValue(std::string_view name) const
{
    return const_cast<RegistryKeyData*>(this)->findValue(name);
}

void RegistryKeyData::setValue(RegistryValue value)
{
    if (RegistryValue* existing = findValue(value.name)) {
        value.name = std::move(existing->name);
        *existing = std::move(value);
    } else {
        values.push_back(std::move(value));
    }
}

bool RegistryKeyData::removeValue(std::string_view name)
{
    const auto it = std::find_if(
        values.begin(), values.end(), [&](const RegistryValue& v) { return equalsIgnoreCase(v.name, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

RegistryKeyData* RegistryDocument::findKey(std::string_view path)
{
    for (auto& key : keys)
        if (equalsIgnoreCase(key.path, path)) return &key;
    return nullptr;
}

const RegistryKeyData* RegistryDocument::findKey(std::string_view path) const
{
    return const_cast<RegistryDocument*>(this)->findKey(path);
}

bool RegistryDocument::keyExists(std::string_view path) const
{
    if (path.empty()) return false;
    return std::any_of(keys.begin(), keys.end(), [&](const RegistryKeyData& k) { return isSameOrBelow(k.path, path); });
}

RegistryKeyData& RegistryDocument::ensureKey(std::string_view path)
{
    if (RegistryKeyData* key = findKey(path)) return *key;
    keys.push_back(RegistryKeyData { std::string(path), {} });
    return keys.back();
}

bool RegistryDocument::removeKeyTree(std::string_view path)
{
    if (path.empty()) return false;
    const auto doomed = [&](const RegistryKeyData& k) { return isSameOrBelow(k.path, path); };
    const auto first = std::find_if(keys.begin(), keys.end(), doomed);
    if (first == keys.end()) return false;
    const auto position = first - keys.begin();
    keys.erase(std::remove_if(keys.begin(), keys.end(), doomed), keys.end());
    // The parent may have existed only through the deleted key; give it a section of its
    // own where the deleted one stood so that it survives.
    const std::string_view parent = parentOf(path);
    if (!parent.empty() && !keyExists(parent))
        keys.insert(keys.begin() + position, RegistryKeyData { std::string(parent), {} });
    return true;
}

} // namespace kaptivus::config
