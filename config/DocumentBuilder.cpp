// Indexed construction of a registry document while parsing.
#include "config/DocumentBuilder.h"

namespace kaptivus::config {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

bool DocumentBuilder::exists(const std::string& lowerPath) const
{
    if (m_live.count(lowerPath)) return true;
    // Paths below P sort right after P + '\' and before P + ']' ('\' + 1).
    const auto below = m_live.lower_bound(lowerPath + '\\');
    return below != m_live.end() && below->first.compare(0, lowerPath.size() + 1, lowerPath + '\\') == 0;
}

size_t DocumentBuilder::ensureKey(std::string_view path)
{
    std::string key = lower(path);
    if (const auto it = m_live.find(key); it != m_live.end()) return it->second;
    m_sections.push_back(Section { std::string(path), {}, {}, true });
    m_live.emplace(std::move(key), m_sections.size() - 1);
    return m_sections.size() - 1;
}

void DocumentBuilder::removeTree(std::string_view path)
{
    const std::string key = lower(path);
    const auto drop = [&](std::map<std::string, size_t>::iterator it) {
        Section& section = m_sections[it->second];
        section = Section {};
        section.live = false;
        return m_live.erase(it);
    };
    bool removed = false;
    if (const auto it = m_live.find(key); it != m_live.end()) {
        drop(it);
        removed = true;
    }
    const std::string prefix = key + '\\';
    for (auto it = m_live.lower_bound(prefix);
         it != m_live.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        it = drop(it);
        removed = true;
    }
    const size_t slash = path.rfind('\\');
    if (removed && slash != std::string_view::npos && !exists(lower(path.substr(0, slash))))
        ensureKey(path.substr(0, slash));
}

void DocumentBuilder::setValue(size_t key, RegistryValue value)
{
    Section& section = m_sections[key];
    std::string name = lower(value.name);
    if (const auto it = section.names.find(name); it != section.names.end()) {
        std::optional<RegistryValue>& slot = section.values[it->second];
        value.name = std::move(slot->name);
        slot = std::move(value);
        return;
    }
    section.values.push_back(std::move(value));
    section.names.emplace(std::move(name), section.values.size() - 1);
}

void DocumentBuilder::removeValue(size_t key, std::string_view name)
{
    Section& section = m_sections[key];
    const auto it = section.names.find(lower(name));
    if (it == section.names.end()) return;
    section.values[it->second].reset();
    section.names.erase(it);
}

RegistryDocument DocumentBuilder::finish()
{
    RegistryDocument document;
    for (Section& section : m_sections) {
        if (!section.live) continue;
        RegistryKeyData key { std::move(section.path), {} };
        key.values.reserve(section.names.size());
        for (auto& slot : section.values)
            if (slot) key.values.push_back(std::move(*slot));
        document.keys.push_back(std::move(key));
    }
    m_sections.clear();
    m_live.clear();
    return document;
}

} // namespace kaptivus::config
