// The current user's registry, kept in one registry-export file. Keys are opened, read and
// written in memory; closing a key (or commit()) makes written changes durable on disk.
// Standard library only: no Qt.
#pragma once

#include "config/KeptCopy.h"
#include "config/RegistryDocument.h"
#include "config/RegistryFormat.h"
#include "config/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::config {

inline constexpr std::string_view kCurrentUserRoot = "HKEY_CURRENT_USER";
inline constexpr std::string_view kSettingsKey = "HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10";
inline constexpr std::string_view kSettingsParentKey = "HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000";

// ${XDG_CONFIG_HOME:-$HOME/.config}/Kaptivus2000/registry.reg (a relative XDG_CONFIG_HOME
// is ignored, as the XDG rules ask; without HOME the password database gives the home).
std::filesystem::path defaultRegistryPath();

class RegistryStore;

// A handle on one key of a store. It stays valid while its store lives; after the key is
// deleted reads find nothing and writes fail.
class RegistryKey {
public:
    const std::string& path() const { return m_path; }
    bool hasValue(std::string_view name) const;

    // Fails (nullopt) when the value is missing or is not a dword.
    std::optional<int32_t> readInteger(std::string_view name) const;
    // As readInteger; any non-zero dword reads as true.
    std::optional<bool> readBool(std::string_view name) const;
    // A missing value reads as ""; a value of another type, or one whose line in the file
    // could not be read, fails (nullopt).
    std::optional<std::string> readText(std::string_view name) const;

    // Writes replace a value in place or append it after the key's other values. A write
    // fails when the key has been deleted, or (texts) when the text is not valid UTF-8 or
    // holds a NUL; the message names the value.
    Status writeInteger(std::string_view name, int32_t value);
    Status writeBool(std::string_view name, bool value);
    Status writeText(std::string_view name, std::string_view text);
    bool deleteValue(std::string_view name);

    // Makes every change written through the store durable (no-op when nothing changed).
    Status close();

private:
    friend class RegistryStore;
    RegistryKey(RegistryStore* store, std::string path)
        : m_store(store)
        , m_path(std::move(path))
    {
    }
    const RegistryValue* find(std::string_view name) const;
    Status store(RegistryValue value);

    RegistryStore* m_store;
    std::string m_path;
};

struct OpenResult {
    bool setAside = false; // the file could not be read as a registry and is kept as keptAs
    std::filesystem::path keptAs; // registry.reg.bad, .bad.1, ...: the file as it was
    std::string message; // why (parse error, or an I/O error); empty when the file could be read
    // Read as a registry, but with these lines left out (the first of them, and how
    // many in all); the rest is loaded.
    std::vector<UnreadLine> unread;
    size_t unreadCount = 0;
    // Why the file read is not to be trusted (others could have written it); empty when it is.
    std::string untrusted;
    bool ok() const { return message.empty(); }
};

class RegistryStore {
public:
    explicit RegistryStore(std::filesystem::path file = defaultRegistryPath());

    // Loads the file. A missing file is an empty registry. A file that cannot be read or
    // parsed (or is over the size limit) is copied to the first free "<file>.bad",
    // "<file>.bad.1", ... and removed, and the registry starts empty. When no copy can be
    // made the registry starts empty too, but the file stays and commit() refuses to
    // replace it. Lines that cannot be read cost only themselves (OpenResult::unread);
    // such a file is copied aside in the same way before it is first replaced.
    OpenResult open();

    const std::filesystem::path& path() const { return m_file; }
    bool keyExists(std::string_view key) const;
    // Opens an existing key without creating it.
    std::optional<RegistryKey> openKey(std::string_view key);
    // Opens the key, creating it (in memory) when missing; nullopt for an invalid path.
    std::optional<RegistryKey> createKey(std::string_view key);
    // Deletes the key with all its subkeys, keeping its parent key, and writes the file at
    // once. Deleting a missing key changes nothing and succeeds.
    Status deleteKey(std::string_view key);

    // Writes the file durably if anything changed since the last open or commit.
    Status commit();
    // Copies the file as it is now to the first free kept-copy name (see open()); for a
    // record that was read only in part, before it is written back. Once a copy is kept,
    // commit() makes no other.
    KeptCopy keepCopy();
    bool isDirty() const { return m_dirty; }
    const RegistryDocument& document() const { return m_document; }

private:
    friend class RegistryKey;

    std::filesystem::path m_file;
    RegistryDocument m_document;
    bool m_dirty = false;
    bool m_keepFile = false; // unreadable and without a copy: never replaced
    bool m_copyDue = false; // lines were left out: a copy comes before the first rewrite
    std::set<std::pair<std::string, std::string>> m_unreadValues; // lower-case key and value names
};

} // namespace kaptivus::config
