// The registry file store: loading (with the kept copies of unreadable files), key handles
// with the typed reading rules, and durable commits.
#include "config/RegistryStore.h"

#include "config/DurableFile.h"
#include "config/RegistryFormat.h"
#include "config/RegistryTrust.h"
#include "config/Utf8.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::config {

namespace {

constexpr size_t kMaxValueNameBytes = 255;
constexpr size_t kMaxTextBytes = 16 * 1024;

std::filesystem::path homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir) return entry->pw_dir;
    return "/";
}

struct FileRead {
    bool missing = false;
    std::string bytes;
    std::string error; // set when the file exists but could not be read in full
    std::string untrusted; // why others could have written what was read
};

// Reads at most one byte more than the size limit, so that an oversize file is recognised
// without reading all of it.
FileRead readBounded(const std::filesystem::path& file)
{
    FileRead result;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        if (!result.missing) result.error = std::string("cannot open: ") + std::strerror(errno);
        return result;
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.error = "not a regular file";
        return result;
    }
    // Checked on the file actually opened, so that a link put in its place is seen through.
    result.untrusted = untrustedBecause(file, info, ::getuid());
    char buffer[65536];
    while (result.bytes.size() <= kMaxRegistryFileBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result.error = std::string("cannot read: ") + std::strerror(errno);
            break;
        }
        if (got == 0) break;
        result.bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return result;
}

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

Status checkName(std::string_view name)
{
    if (name.size() > kMaxValueNameBytes || !isValidUtf8(name))
        return Status::failure("invalid value name \"" + std::string(name.substr(0, 64)) + "\"");
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            return Status::failure("invalid value name \"" + std::string(name.substr(0, 64)) + "\"");
    return Status::success();
}

} // namespace

std::filesystem::path defaultRegistryPath()
{
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        base = xdg;
    else
        base = homeFolder() / ".config";
    return base / "Kaptivus2000" / "registry.reg";
}

RegistryStore::RegistryStore(std::filesystem::path file)
    : m_file(std::move(file))
{
}

OpenResult RegistryStore::open()
{
    m_document = {};
    m_dirty = false;
    m_keepFile = false;
    m_copyDue = false;
    m_unreadValues.clear();
    FileRead read = readBounded(m_file);
    if (read.missing) return {};
    OpenResult result;
    result.untrusted = std::move(read.untrusted);
    std::string problem = read.error;
    if (problem.empty()) {
        ParseResult parsed = parseRegistry(read.bytes);
        if (parsed.ok()) {
            m_document = std::move(*parsed.document);
            for (const UnreadLine& line : parsed.unread)
                if (line.value) m_unreadValues.emplace(lowerAscii(line.key), lowerAscii(*line.value));
            m_copyDue = parsed.unreadCount > 0;
            result.unread = std::move(parsed.unread);
            result.unreadCount = parsed.unreadCount;
            return result;
        }
        problem = std::move(parsed.error);
    }
    // Keep the unreadable file for the user to inspect; the caller starts from defaults.
    result.message = m_file.string() + ": " + problem;
    const KeptCopy kept = keepCopyAside(m_file);
    if (!kept.ok()) {
        m_keepFile = true;
        result.message += "; left as it is: " + kept.error;
        return result;
    }
    ::unlink(m_file.c_str());
    result.setAside = true;
    result.keptAs = kept.path;
    result.message += "; kept as " + kept.path.string();
    return result;
}

KeptCopy RegistryStore::keepCopy()
{
    KeptCopy kept = keepCopyAside(m_file);
    if (kept.ok()) m_copyDue = false;
    return kept;
}

bool RegistryStore::keyExists(std::string_view key) const
{
    return m_document.keyExists(key);
}

std::optional<RegistryKey> RegistryStore::openKey(std::string_view key)
{
    if (!isValidKeyPath(key) || !m_document.keyExists(key)) return std::nullopt;
    return RegistryKey(this, std::string(key));
}

std::optional<RegistryKey> RegistryStore::createKey(std::string_view key)
{
    if (!isValidKeyPath(key)) return std::nullopt;
    if (!m_document.findKey(key)) {
        m_document.ensureKey(key);
        m_dirty = true;
    }
    return RegistryKey(this, std::string(key));
}

Status RegistryStore::deleteKey(std::string_view key)
{
    if (!m_document.removeKeyTree(key)) return Status::success();
    m_dirty = true;
    return commit();
}

Status RegistryStore::commit()
{
    if (!m_dirty) return Status::success();
    if (m_keepFile)
        return Status::failure("Cannot write " + m_file.string() + ": it could not be read, and without a copy of it "
                               "it is not replaced");
    // The lines left out at reading would be lost by the rewrite: the file as it was goes aside first.
    if (m_copyDue)
        if (const KeptCopy kept = keepCopy(); !kept.ok())
            return Status::failure("Cannot write " + m_file.string() + ": some of its lines could not be read, and "
                                   "without a copy of it it is not replaced (" + kept.error + ")");
    const std::string bytes = serializeRegistry(m_document);
    // Never write a file that the next start would refuse to read.
    if (bytes.size() > kMaxRegistryFileBytes)
        return Status::failure("Cannot write " + m_file.string() + ": the settings exceed "
            + std::to_string(kMaxRegistryFileBytes) + " bytes");
    if (m_file.has_parent_path())
        if (Status folder = ensureFolder(m_file.parent_path()); !folder) return folder;
    Status written = writeFileDurably(m_file, bytes);
    if (written) m_dirty = false;
    return written;
}

const RegistryValue* RegistryKey::find(std::string_view name) const
{
    const RegistryKeyData* key = m_store->m_document.findKey(m_path);
    return key ? key->findValue(name) : nullptr;
}

bool RegistryKey::hasValue(std::string_view name) const
{
    return find(name) != nullptr;
}

std::optional<int32_t> RegistryKey::readInteger(std::string_view name) const
{
    const RegistryValue* value = find(name);
    if (!value || value->kind != ValueKind::Dword) return std::nullopt;
    return static_cast<int32_t>(value->dword);
}

std::optional<bool> RegistryKey::readBool(std::string_view name) const
{
    const RegistryValue* value = find(name);
    if (!value || value->kind != ValueKind::Dword) return std::nullopt;
    return value->dword != 0;
}

std::optional<std::string> RegistryKey::readText(std::string_view name) const
{
    const RegistryValue* value = find(name);
    if (!value && m_store->m_unreadValues.count({ lowerAscii(m_path), lowerAscii(name) }) != 0) return std::nullopt;
    if (!value) return std::string();
    if (value->kind != ValueKind::Text) return std::nullopt;
    return value->data;
}

Status RegistryKey::writeInteger(std::string_view name, int32_t value)
{
    RegistryValue entry { std::string(name), ValueKind::Dword, static_cast<uint32_t>(value), {} };
    return store(std::move(entry));
}

Status RegistryKey::writeBool(std::string_view name, bool value)
{
    return writeInteger(name, value ? 1 : 0);
}

Status RegistryKey::writeText(std::string_view name, std::string_view text)
{
    if (text.size() > kMaxTextBytes)
        return Status::failure(
            "value \"" + std::string(name) + "\": text longer than " + std::to_string(kMaxTextBytes) + " bytes");
    if (!isValidUtf8(text) || text.find('\0') != std::string_view::npos)
        return Status::failure("value \"" + std::string(name) + "\": text is not valid UTF-8 or holds a NUL");
    return store(RegistryValue { std::string(name), ValueKind::Text, 0, std::string(text) });
}

Status RegistryKey::store(RegistryValue value)
{
    if (Status name = checkName(value.name); !name) return name;
    RegistryDocument& document = m_store->m_document;
    if (!document.keyExists(m_path))
        return Status::failure("value \"" + value.name + "\": key " + m_path + " no longer exists");
    RegistryKeyData* key = &document.ensureKey(m_path);
    if (const RegistryValue* old = key->findValue(value.name);
        old && old->kind == value.kind && old->dword == value.dword && old->data == value.data)
        return Status::success();
    key->setValue(std::move(value));
    m_store->m_dirty = true;
    return Status::success();
}

bool RegistryKey::deleteValue(std::string_view name)
{
    RegistryKeyData* key = m_store->m_document.findKey(m_path);
    if (!key || !key->removeValue(name)) return false;
    m_store->m_dirty = true;
    return true;
}

Status RegistryKey::close()
{
    return m_store->commit();
}

} // namespace kaptivus::config
