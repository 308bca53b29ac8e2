// The registry file store on a real folder: reading rules, order and spelling of writes,
// kept unknown data, numbered copies of bad files, lines that cost only themselves, trust,
// key deletion and durable replacement.
#include "config/RegistryStore.h"

#include "config/RegistryFormat.h"

#include <csignal>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaptivus::config;
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
const std::string kKey = std::string(kSettingsKey);

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

void writeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/registry-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_file = m_root / "Kaptivus2000" / "registry.reg";
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_root / "Kaptivus2000", fs::perms::owner_all, ignored);
        fs::remove_all(m_root, ignored);
    }
    void givenFile(std::string_view bytes)
    {
        fs::create_directories(m_file.parent_path());
        writeFile(m_file, bytes);
    }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_file.parent_path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    RegistryStore openStore()
    {
        RegistryStore store(m_file);
        const OpenResult opened = store.open();
        EXPECT_TRUE(opened.ok()) << opened.message;
        return store;
    }

    fs::path m_root;
    fs::path m_file;
};

} // namespace

TEST_F(RegistryStoreTest, MissingFileIsAnEmptyRegistryAndFirstCloseCreatesItPrivately)
{
    RegistryStore store = openStore();
    EXPECT_FALSE(store.keyExists(kSettingsKey));
    EXPECT_FALSE(store.openKey(kSettingsKey).has_value());
    EXPECT_FALSE(fs::exists(m_file)); // looking creates nothing

    auto key = store.createKey(kSettingsKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeInteger("HotKey0", 44).ok());
    ASSERT_TRUE(key->writeText("Footer", "Kaptivus 2000 Version 5.10").ok());
    const Status closed = key->close();
    ASSERT_TRUE(closed.ok()) << closed.error;

    EXPECT_EQ(readFile(m_file),
        kHeader + "[" + kKey
            + "]\n\"HotKey0\"=dword:0000002c\n"
              "\"Footer\"=\"Kaptivus 2000 Version 5.10\"\n\n");
    struct stat info { };
    ASSERT_EQ(::stat(m_file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(m_file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(RegistryStoreTest, TypedReadsFollowTheFailureRules)
{
    givenFile(kHeader + "[" + kKey
        + "]\n\"Int\"=dword:ffffff01\n\"Two\"=dword:00000002\n\"Zero\"=dword:0\n"
          "\"Text\"=\"hello\"\n\"NumberAsText\"=\"12\"\n\"Blob\"=hex:01,02\n\"EmptyText\"=\"\"\n");
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readInteger("Int"), -255);
    EXPECT_EQ(key->readInteger("Missing"), std::nullopt);
    EXPECT_EQ(key->readInteger("NumberAsText"), std::nullopt);
    EXPECT_EQ(key->readInteger("Blob"), std::nullopt);
    EXPECT_EQ(key->readBool("Two"), true); // any non-zero dword
    EXPECT_EQ(key->readBool("Zero"), false);
    EXPECT_EQ(key->readBool("Missing"), std::nullopt);
    EXPECT_EQ(key->readBool("Text"), std::nullopt);
    EXPECT_EQ(key->readText("Text"), "hello");
    EXPECT_EQ(key->readText("EmptyText"), "");
    EXPECT_EQ(key->readText("Missing"), ""); // missing text is empty, not a failure
    EXPECT_EQ(key->readText("Int"), std::nullopt);
    EXPECT_EQ(key->readText("Blob"), std::nullopt);
}

TEST_F(RegistryStoreTest, NamesAndPathsIgnoreCaseAndKeepTheStoredSpelling)
{
    givenFile(kHeader + "[HKEY_CURRENT_USER\\Software\\kaptivus2000\\v5.10]\n\"HotKey0\"=dword:0000002c\n");
    RegistryStore store = openStore();
    EXPECT_TRUE(store.keyExists(kSettingsKey));
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readInteger("HOTKEY0"), 44);
    ASSERT_TRUE(key->writeInteger("hotkey0", 45).ok());
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(readFile(m_file),
        kHeader
            + "[HKEY_CURRENT_USER\\Software\\kaptivus2000\\v5.10]\n"
              "\"HotKey0\"=dword:0000002d\n\n");
}

TEST_F(RegistryStoreTest, ExistingValuesKeepTheirPlaceAndNewOnesFollowInWriteOrder)
{
    givenFile(kHeader + "[" + kKey + "]\n\"B\"=dword:1\n\"Unknown\"=\"kept\"\n\"A\"=dword:1\n");
    RegistryStore store = openStore();
    auto key = store.createKey(kSettingsKey);
    ASSERT_TRUE(key);
    for (const char* name : { "A", "C", "B", "D" })
        ASSERT_TRUE(key->writeInteger(name, 7).ok());
    ASSERT_TRUE(key->close().ok());

    RegistryStore reread = openStore();
    std::vector<std::string> names;
    for (const auto& value : reread.document().findKey(kSettingsKey)->values)
        names.push_back(value.name);
    EXPECT_THAT(names, ElementsAre("B", "Unknown", "A", "C", "D"));
}

TEST_F(RegistryStoreTest, RewriteKeepsUnknownKeysValuesAndKinds)
{
    const std::string others = "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.00]\n\"Old\"=\"é ® 📷\"\n\n";
    const std::string unknownValues = "\"Path\"=hex(2):25,00,00,00\n\"Blob\"=hex:00,01,\\\n  02\n";
    givenFile(kHeader + others + "[" + kKey + "]\n\"Resize\"=dword:00000064\n" + unknownValues + "\n");
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeInteger("Resize", 200).ok());
    ASSERT_TRUE(key->writeText("Footer", "Pied de page é").ok());
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(readFile(m_file),
        kHeader + others + "[" + kKey + "]\n\"Resize\"=dword:000000c8\n" + unknownValues
            + "\"Footer\"=\"Pied de page é\"\n\n");
}

TEST_F(RegistryStoreTest, TextsWithLineBreaksAndLongTextsReadBackUnchanged)
{
    const std::string odd = "name\nwith \"line\" break\\é📷";
    const std::string longText(12000, 'x');
    {
        RegistryStore store = openStore();
        auto key = store.createKey(kSettingsKey);
        ASSERT_TRUE(key->writeText("Hist1", odd).ok());
        ASSERT_TRUE(key->writeText("Hist2", longText).ok());
        ASSERT_TRUE(key->close().ok());
    }
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readText("Hist1"), odd);
    EXPECT_EQ(key->readText("Hist2"), longText);
}

TEST_F(RegistryStoreTest, UnsafeWritesAreRefusedNamingTheValue)
{
    RegistryStore store = openStore();
    auto key = store.createKey(kSettingsKey);
    ASSERT_TRUE(key);
    EXPECT_THAT(key->writeText("Footer", "bad \xC3 byte").error, HasSubstr("\"Footer\""));
    EXPECT_THAT(key->writeText("Footer", std::string("nul\0inside", 10)).error, HasSubstr("\"Footer\""));
    EXPECT_THAT(key->writeText("Footer", std::string(20000, 'x')).error, HasSubstr("\"Footer\""));
    EXPECT_FALSE(key->writeInteger("bad\nname", 1).ok());
    EXPECT_FALSE(key->hasValue("Footer"));
    EXPECT_FALSE(store.createKey("-starts\\with dash").has_value());
    EXPECT_FALSE(store.createKey("A\\\\B").has_value());
}

TEST_F(RegistryStoreTest, CorruptFilesAreKeptAsNumberedCopiesNeverOverwritingAnOlderOne)
{
    const std::string garbage[] = {
        "not a registry at all\n",
        "REGEDIT4\n\n[" + kKey + "]\n\"HotKey0\"=dword:0000002c\n",
        std::string("\xFF\xFEW\0i\0", 6),
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        givenFile(garbage[i]);
        RegistryStore store(m_file);
        const OpenResult opened = store.open();
        EXPECT_TRUE(opened.setAside);
        EXPECT_EQ(opened.keptAs, keptCopyName(m_file, i));
        EXPECT_FALSE(store.keyExists(kSettingsKey));
        EXPECT_FALSE(fs::exists(m_file));
        for (int older = 0; older <= i; ++older)
            EXPECT_EQ(readFile(keptCopyName(m_file, older)), garbage[older]);

        // The caller then writes its defaults; the kept copies stay for the user.
        auto key = store.createKey(kSettingsKey);
        ASSERT_TRUE(key->writeInteger("HotKey0", 44).ok());
        ASSERT_TRUE(key->close().ok());
        EXPECT_TRUE(parseRegistry(readFile(m_file)).ok());
    }
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg", "registry.reg.bad", "registry.reg.bad.1", "registry.reg.bad.2"));
}

TEST_F(RegistryStoreTest, KeptCopyTakesTheFirstFreeNameAndFollowsNoLinkStandingThere)
{
    givenFile("current\n");
    writeFile(keptCopyName(m_file, 0), "older copy\n");
    const fs::path outside = m_root / "outside";
    writeFile(outside, "someone else's\n");
    fs::create_symlink(outside, keptCopyName(m_file, 1));
    RegistryStore store(m_file);
    const KeptCopy kept = store.keepCopy();
    ASSERT_TRUE(kept.ok()) << kept.error;
    EXPECT_EQ(kept.path, keptCopyName(m_file, 2));
    EXPECT_EQ(readFile(kept.path), "current\n");
    EXPECT_EQ(readFile(m_file), "current\n"); // a copy: the file itself stays
    EXPECT_EQ(readFile(keptCopyName(m_file, 0)), "older copy\n");
    EXPECT_EQ(readFile(outside), "someone else's\n");
    struct stat info { };
    ASSERT_EQ(::stat(kept.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(RegistryStoreTest, UnreadableFileWithoutACopyIsNeverReplaced)
{
    const std::string garbage = "not a registry at all\n";
    givenFile(garbage);
    // Every kept-copy name is taken, so no copy can be made.
    for (int n = 0; n < kMaxKeptCopies; ++n) writeFile(keptCopyName(m_file, n), "");
    RegistryStore store(m_file);
    const OpenResult opened = store.open();
    EXPECT_FALSE(opened.setAside);
    EXPECT_THAT(opened.message, HasSubstr("is taken"));
    EXPECT_FALSE(store.keyExists(kSettingsKey));
    EXPECT_FALSE(store.keepCopy().ok());

    auto key = store.createKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("HotKey0", 44).ok());
    const Status closed = key->close();
    EXPECT_THAT(closed.error, HasSubstr("not replaced"));
    EXPECT_EQ(readFile(m_file), garbage);
    EXPECT_EQ(fs::file_size(keptCopyName(m_file, 0)), 0u);
}

// Regression: one mistyped line made the whole file unreadable and every value went back
// to its default.
TEST_F(RegistryStoreTest, LinesThatCannotBeReadCostOnlyThemselvesAndTheFileIsKeptBeforeItIsReplaced)
{
    const std::string original = kHeader + "[" + kKey
        + "]\n\"Width\"=hello\n\"Footer\"=\"unterminated\n\"Color1\"=dword:000000ff\n\"Editor\"=\"/usr/bin/gimp\"\n";
    givenFile(original);
    RegistryStore store = openStore();
    {
        RegistryStore again(m_file);
        const OpenResult opened = again.open();
        ASSERT_EQ(opened.unread.size(), 2u);
        EXPECT_EQ(opened.unread[0].value, "Width");
        EXPECT_EQ(opened.unread[1].value, "Footer");
    }
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readInteger("Color1"), 255);
    EXPECT_EQ(key->readText("Editor"), "/usr/bin/gimp");
    EXPECT_EQ(key->readInteger("Width"), std::nullopt);
    // A text whose line was lost fails rather than reading as an empty text.
    EXPECT_EQ(key->readText("FOOTER"), std::nullopt);
    EXPECT_EQ(key->readText("Absent"), "");

    ASSERT_TRUE(key->writeInteger("Width", 640).ok());
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(readFile(keptCopyName(m_file, 0)), original);
    const OpenResult reread = RegistryStore(m_file).open();
    EXPECT_TRUE(reread.ok() && reread.unread.empty());
    // One copy for the file as it was, however often it is written afterwards.
    ASSERT_TRUE(key->writeInteger("Width", 800).ok());
    ASSERT_TRUE(key->close().ok());
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg", "registry.reg.bad"));
}

TEST_F(RegistryStoreTest, FileWithUnreadLinesIsNotReplacedWithoutACopy)
{
    const std::string original = kHeader + "[" + kKey + "]\n\"Width\"=hello\n";
    givenFile(original);
    for (int n = 0; n < kMaxKeptCopies; ++n) writeFile(keptCopyName(m_file, n), "");
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("Width", 640).ok());
    EXPECT_THAT(key->close().error, HasSubstr("not replaced"));
    EXPECT_EQ(readFile(m_file), original);
}

// A file others could have written is read, and said to be untrusted; ownership by
// another user can only be arranged as root.
TEST_F(RegistryStoreTest, SettingsOthersCouldWriteAreUntrusted)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path& root, const fs::path& folder, const fs::path& file)> arrange;
        const char* untrusted; // expected reason, or nullptr when trusted
        bool asRootOnly = false;
    };
    const auto mode = [](const fs::path& p, mode_t m) { ASSERT_EQ(::chmod(p.c_str(), m), 0); };
    const auto owner = [](const fs::path& p) { ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0); };
    const Case cases[] = {
        {"own private folder", [](auto&, auto&, auto&) {}, nullptr},
        {"folder writable by all", [&](auto&, auto& d, auto&) { mode(d, 0777); }, "can be written by every user"},
        {"sticky folder writable by all", [&](auto&, auto& d, auto&) { mode(d, 01777); }, "can be written by every user"},
        {"file writable by all", [&](auto&, auto&, auto& f) { mode(f, 0666); }, "can be written by every user"},
        {"folder above writable by all", [&](auto& r, auto&, auto&) { mode(r, 0777); }, "can be written by every user"},
        {"sticky folder above writable by all", [&](auto& r, auto&, auto&) { mode(r, 01777); }, nullptr},
        {"folder of another user", [&](auto&, auto& d, auto&) { owner(d); }, "belongs to another user", true},
        {"file of another user", [&](auto&, auto&, auto& f) { owner(f); }, "belongs to another user", true},
    };
    const std::string body = kHeader + "[" + kKey + "]\n\"Editor\"=\"/bin/sh\"\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asRootOnly && ::geteuid() != 0) continue;
        fs::remove_all(m_file.parent_path());
        givenFile(body);
        ::chmod(m_root.c_str(), 0700);
        ::chmod(m_file.parent_path().c_str(), 0700);
        ::chmod(m_file.c_str(), 0600);
        c.arrange(m_root, m_file.parent_path(), m_file);
        RegistryStore store(m_file);
        const OpenResult opened = store.open();
        ::chmod(m_root.c_str(), 0700);
        EXPECT_TRUE(opened.ok()) << opened.message;
        if (c.untrusted)
            EXPECT_THAT(opened.untrusted, HasSubstr(c.untrusted));
        else
            EXPECT_EQ(opened.untrusted, "");
        // Read all the same: what to take from it is the caller's choice.
        EXPECT_EQ(store.openKey(kSettingsKey)->readText("Editor"), "/bin/sh");
    }
}

TEST_F(RegistryStoreTest, OversizeFileIsSetAsideWithAClearError)
{
    std::string big = kHeader + "[" + kKey + "]\n";
    while (big.size() <= kMaxRegistryFileBytes)
        big += "\"V\"=\"" + std::string(4000, 'x') + "\"\n";
    givenFile(big);
    RegistryStore store(m_file);
    const OpenResult opened = store.open();
    EXPECT_TRUE(opened.setAside);
    EXPECT_THAT(opened.message, HasSubstr("file too large"));
    EXPECT_FALSE(store.keyExists(kSettingsKey));
    EXPECT_EQ(opened.keptAs, keptCopyName(m_file, 0));
    EXPECT_EQ(fs::file_size(opened.keptAs), big.size());
}

TEST_F(RegistryStoreTest, DeletingAKeyRemovesItsSubkeysAndKeepsParentAndSiblings)
{
    const std::string sibling = "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.00]\n\"Old\"=dword:00000001\n\n";
    givenFile(kHeader + "[" + kKey + "]\n\"A\"=dword:1\n\n[" + kKey + "\\Sub\\Deeper]\n\"B\"=\"x\"\n\n" + sibling + "["
        + kKey + "2]\n\"NotBelow\"=\"kept\"\n\n");
    {
        RegistryStore store = openStore();
        ASSERT_TRUE(store.deleteKey("hkey_current_user\\software\\kaptivus2000\\v5.10").ok());
    }
    RegistryStore store = openStore(); // the deletion is on disk at once
    EXPECT_FALSE(store.keyExists(kSettingsKey));
    EXPECT_FALSE(store.keyExists(kKey + "\\Sub"));
    EXPECT_TRUE(store.keyExists(kSettingsParentKey));
    EXPECT_TRUE(store.keyExists(kKey + "2"));
    EXPECT_THAT(readFile(m_file), HasSubstr(sibling));
}

TEST_F(RegistryStoreTest, DeletingTheOnlyKeyUnderTheParentKeepsTheParent)
{
    givenFile(kHeader + "[" + kKey + "]\n\"A\"=dword:1\n");
    {
        RegistryStore store = openStore();
        ASSERT_TRUE(store.deleteKey(kSettingsKey).ok());
        ASSERT_TRUE(store.deleteKey(kSettingsKey).ok()); // a missing key is no error
    }
    RegistryStore store = openStore();
    EXPECT_FALSE(store.keyExists(kSettingsKey));
    EXPECT_TRUE(store.keyExists(kSettingsParentKey));
}

TEST_F(RegistryStoreTest, HandleOfADeletedKeyReadsNothingAndCannotWrite)
{
    givenFile(kHeader + "[" + kKey + "]\n\"A\"=dword:1\n");
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(store.deleteKey(kSettingsKey).ok());
    EXPECT_EQ(key->readInteger("A"), std::nullopt);
    EXPECT_THAT(key->writeInteger("A", 2).error, HasSubstr("\"A\""));
    ASSERT_TRUE(key->close().ok());
    EXPECT_FALSE(openStore().keyExists(kSettingsKey)); // nothing brought it back
}

TEST_F(RegistryStoreTest, KeyThatExistsOnlyThroughSubkeysCanBeOpenedAndWritten)
{
    givenFile(kHeader + "[" + kKey + "\\Sub]\n");
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeBool("Sound", true).ok());
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(openStore().openKey(kSettingsKey)->readBool("Sound"), true);
}

TEST_F(RegistryStoreTest, ClosingWithoutChangesLeavesTheFileAlone)
{
    givenFile(kHeader + "[" + kKey + "]\n\"A\"=dword:00000001\n\"T\"=\"x\"\n");
    const auto inodeOf = [&] {
        struct stat info { };
        ::stat(m_file.c_str(), &info);
        return info.st_ino;
    };
    const auto before = inodeOf();
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("a", 1).ok()); // same value: no change
    ASSERT_TRUE(key->writeText("T", "x").ok());
    EXPECT_FALSE(store.isDirty());
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(inodeOf(), before);
}

TEST_F(RegistryStoreTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const std::string old = kHeader + "[" + kKey + "]\n\"Footer\"=\"old\"\n\n";
    givenFile(old);
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key->writeText("Footer", std::string(4000, 'n')).ok());

    // A file-size limit makes the write of the temporary file fail part-way, as a full
    // disk would; the signal it raises is ignored so that write() reports EFBIG.
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status failed = key->close();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(failed.ok());
    EXPECT_THAT(failed.error, HasSubstr(m_file.string()));
    EXPECT_THAT(failed.error, HasSubstr("write"));
    EXPECT_EQ(readFile(m_file), old);
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg"));
    // The change is still pending and goes through once writing works again.
    ASSERT_TRUE(key->close().ok());
    EXPECT_EQ(openStore().openKey(kSettingsKey)->readText("Footer"), std::string(4000, 'n'));
}

TEST_F(RegistryStoreTest, FailedRenameLeavesNoTemporaryFile)
{
    RegistryStore store = openStore();
    auto key = store.createKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("A", 1).ok());
    // Something that is not a file now stands where the file goes.
    fs::create_directories(m_file / "occupied");
    const Status failed = key->close();
    EXPECT_FALSE(failed.ok());
    EXPECT_THAT(failed.error, HasSubstr("rename"));
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg"));
    EXPECT_TRUE(fs::is_directory(m_file));
}

// A dotfiles manager keeps the settings file as a link; the first change made it a plain file.
TEST_F(RegistryStoreTest, SettingsFileKeptAsALinkBecameAPlainFile)
{
    const fs::path dotfiles = m_root / "dotfiles" / "registry.reg";
    fs::create_directories(dotfiles.parent_path());
    writeFile(dotfiles, kHeader + "[" + kKey + "]\n\"A\"=dword:00000001\n\n");
    fs::create_directories(m_file.parent_path());
    fs::create_symlink("../dotfiles/registry.reg", m_file);
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("A", 2).ok());
    ASSERT_TRUE(key->close().ok());
    ASSERT_TRUE(fs::is_symlink(m_file));
    EXPECT_EQ(fs::read_symlink(m_file), "../dotfiles/registry.reg");
    EXPECT_EQ(openStore().openKey(kSettingsKey)->readInteger("A"), std::optional<int32_t>(2));
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg"));
}

TEST_F(RegistryStoreTest, ReadOnlyFolderFailsAndKeepsTheOldFile)
{
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    const std::string old = kHeader + "[" + kKey + "]\n\"A\"=dword:00000001\n\n";
    givenFile(old);
    RegistryStore store = openStore();
    auto key = store.openKey(kSettingsKey);
    ASSERT_TRUE(key->writeInteger("A", 2).ok());
    fs::permissions(m_file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    const Status failed = key->close();
    fs::permissions(m_file.parent_path(), fs::perms::owner_all);
    EXPECT_THAT(failed.error, HasSubstr("temporary file"));
    EXPECT_EQ(readFile(m_file), old);
    EXPECT_THAT(folderEntries(), ElementsAre("registry.reg"));
}

TEST(RegistryPath, FollowsXdgConfigHomeThenHome)
{
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto xdg = saved("XDG_CONFIG_HOME");
    const auto home = saved("HOME");
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(defaultRegistryPath(), fs::path("/xdg/config/Kaptivus2000/registry.reg"));
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(defaultRegistryPath(), fs::path("/home/someone/.config/Kaptivus2000/registry.reg"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(defaultRegistryPath(), fs::path("/home/someone/.config/Kaptivus2000/registry.reg"));
    const auto restore = [](const char* name, const std::optional<std::string>& v) {
        if (v)
            ::setenv(name, v->c_str(), 1);
        else
            ::unsetenv(name);
    };
    restore("XDG_CONFIG_HOME", xdg);
    restore("HOME", home);
}
