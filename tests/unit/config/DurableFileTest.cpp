// Durable writes on real folders and on a real FUSE mount without exclusive
// rename, hard links or permissions: a new file never replaces anything, a
// replaced link stays a link, the program's own file replaces a stale link
// itself, and a private folder is one only this user can enter.
#include "config/DurableFile.h"

#include "../../support/NoLinkMount.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaptivus::config;
namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

void writeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

mode_t modeOf(const fs::path& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class DurableFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/durable-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    fs::path m_root;
};

// Numbered saves and timer ticks on FUSE, SMB and FAT mounts used to fail:
// neither the exclusive rename nor a hard link exists there, and setting
// permissions fails.
TEST_F(DurableFileTest, NumberedSavesFailedOnMountsWithoutExclusiveRenameOrLinks)
{
    const struct {
        const char* chmodError;
        FileAccess access;
        bool occupied;
    } cases[] = {
        { "ENOSYS", FileAccess::Shared, false },
        { "EPERM", FileAccess::Shared, false },
        { "ENOSYS", FileAccess::Private, false },
        { "ENOSYS", FileAccess::Shared, true },
        { "EPERM", FileAccess::Private, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chmodError) + (c.occupied ? " occupied" : " free"));
        const fs::path root = m_root / std::to_string(&c - cases);
        kaptivus::test::NoLinkMount mount(root, c.chmodError);
        if (!mount.skipReason().empty()) GTEST_SKIP() << mount.skipReason();
        const fs::path name = mount.path() / "MyPicture1.gif";
        // The mount truly lacks both ways of taking a name exclusively.
        writeFile(mount.path() / "probe", "p");
        EXPECT_NE(::link((mount.path() / "probe").c_str(), (mount.path() / "probe2").c_str()), 0);
        fs::remove(mount.path() / "probe");
        if (c.occupied) writeFile(name, "kept");

        bool taken = false;
        const Status status = createFileDurably(name, "picture", c.access, taken);
        EXPECT_EQ(status.ok(), !c.occupied) << status.error;
        EXPECT_EQ(taken, c.occupied);
        EXPECT_EQ(readFile(mount.backing() / "MyPicture1.gif"), c.occupied ? "kept" : "picture");
        EXPECT_THAT(entries(mount.backing()), UnorderedElementsAreArray({ "MyPicture1.gif" }));
        // Replacing works there as well.
        ASSERT_TRUE(writeFileDurably(name, "second", c.access).ok());
        EXPECT_EQ(readFile(mount.backing() / "MyPicture1.gif"), "second");
    }
}

// Saving onto a link (a picture, the settings file of a dotfiles manager) made
// the link a plain file and left its target as it was.
TEST_F(DurableFileTest, SavingOntoALinkReplacedTheLinkInsteadOfItsTarget)
{
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // link, target as written
        std::string target;
        bool targetExists;
    } cases[] = {
        { "relative", { { "latest.gif", "shots/x.gif" } }, "shots/x.gif", true },
        { "absolute", { { "latest.gif", "@/shots/x.gif" } }, "shots/x.gif", true },
        { "chain", { { "latest.gif", "mid.gif" }, { "mid.gif", "shots/x.gif" } }, "shots/x.gif", true },
        { "relative to the link's folder", { { "shots/latest.gif", "../store/x.gif" } }, "store/x.gif", true },
        { "dangling", { { "latest.gif", "shots/new.gif" } }, "shots/new.gif", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path dir = m_root / c.name;
        fs::create_directories(dir / "shots");
        fs::create_directories(dir / "store");
        if (c.targetExists) {
            writeFile(dir / c.target, "old");
            fs::permissions(dir / c.target, fs::perms(0640));
        }
        for (const auto& [link, target] : c.links)
            fs::create_symlink(target[0] == '@' ? (dir / target.substr(2)).string() : target, dir / link);
        const fs::path name = dir / c.links.front().first;

        ASSERT_TRUE(writeFileDurably(name, "new", FileAccess::Shared).ok());
        EXPECT_EQ(readFile(dir / c.target), "new");
        if (c.targetExists) { EXPECT_EQ(modeOf(dir / c.target), 0640u); }
        for (const auto& [link, target] : c.links) {
            ASSERT_TRUE(fs::is_symlink(dir / link));
            EXPECT_EQ(fs::read_symlink(dir / link).string(),
                target[0] == '@' ? (dir / target.substr(2)).string() : target);
        }
        // No temporary file is left in either folder.
        for (const char* folder : { "", "shots", "store" })
            for (const auto& entry : entries(dir / folder)) EXPECT_NE(entry[0], '.') << entry;
    }
    // Another user's link in a shared folder is not followed, as the kernel refuses it too.
    const fs::path shared = m_root / "shared";
    fs::create_directories(shared);
    ::chmod(shared.c_str(), 01777);
    writeFile(m_root / "mine", "mine");
    fs::create_symlink(m_root / "mine", shared / "shot.gif");
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown((shared / "shot.gif").c_str(), 65534, 65534), 0);
        const Status planted = writeFileDurably(shared / "shot.gif", "new", FileAccess::Shared);
        EXPECT_THAT(planted.error, HasSubstr((shared / "shot.gif").string()));
        EXPECT_THAT(planted.error, HasSubstr("another user"));
        EXPECT_EQ(readFile(m_root / "mine"), "mine");
        EXPECT_TRUE(fs::is_symlink(shared / "shot.gif"));
    }
    // A loop of links is refused with the reason.
    fs::create_symlink("b", m_root / "a");
    fs::create_symlink("a", m_root / "b");
    const Status looped = writeFileDurably(m_root / "a", "new");
    EXPECT_THAT(looped.error, HasSubstr((m_root / "a").string()));
}

enum class Holder { Nothing, File, DanglingLink, LinkToFile, Folder };

// A stale link at the hand-off name blocked the editor for good.
TEST_F(DurableFileTest, StaleLinkAtTheHandOffNameBlockedTheEditor)
{
    const uid_t other = 65534;
    const struct {
        Holder holder;
        bool sticky;
        uid_t owner; // of the entry holding the name
        bool written;
    } cases[] = {
        { Holder::Nothing, false, 0, true },
        { Holder::File, false, 0, true },
        { Holder::DanglingLink, false, 0, true },
        { Holder::LinkToFile, false, 0, true },
        { Holder::Folder, false, 0, false },
        { Holder::LinkToFile, true, 0, true },
        { Holder::File, true, other, false },
        { Holder::DanglingLink, true, other, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.holder)) + (c.sticky ? " sticky" : "") + " owner " + std::to_string(c.owner));
        const fs::path dir = m_root / std::to_string(&c - cases);
        fs::create_directories(dir);
        // A shared temporary folder: sticky, and (as /tmp is root's) not this user's.
        if (c.sticky) {
            ::chmod(dir.c_str(), 01777);
            if (::geteuid() == 0) { ASSERT_EQ(::chown(dir.c_str(), 65533, 65533), 0); }
        }
        const fs::path name = dir / "~MyBitmap.Bmp";
        const fs::path victim = dir / "victim";
        switch (c.holder) {
        case Holder::Nothing: break;
        case Holder::File: writeFile(name, "kept"); break;
        case Holder::DanglingLink: fs::create_symlink(victim, name); break;
        case Holder::LinkToFile:
            writeFile(victim, "victim");
            fs::create_symlink(victim, name);
            break;
        case Holder::Folder: fs::create_directory(name); break;
        }
        const uid_t self = ::geteuid();
        if (c.owner != 0 && self == 0) { ASSERT_EQ(::lchown(name.c_str(), c.owner, c.owner), 0); }
        if (c.owner != 0 && self != 0) GTEST_SKIP() << "giving a file to another user needs root";

        const Status status = replaceOwnFile(name, "picture");
        EXPECT_EQ(status.ok(), c.written) << status.error;
        if (c.written) {
            EXPECT_FALSE(fs::is_symlink(name));
            EXPECT_EQ(readFile(name), "picture");
            EXPECT_EQ(modeOf(name), 0600u);
        } else {
            EXPECT_THAT(status.error, HasSubstr(name.string()));
            if (c.owner != 0) { EXPECT_THAT(status.error, HasSubstr("another user")); }
        }
        // Nothing is ever written through the link.
        if (c.holder == Holder::LinkToFile) { EXPECT_EQ(readFile(victim), "victim"); }
        if (c.holder == Holder::DanglingLink) { EXPECT_FALSE(fs::exists(victim)); }
    }
}

TEST_F(DurableFileTest, APrivateFolderIsOneOnlyThisUserCanEnter)
{
    const struct {
        const char* name;
        void (*make)(const fs::path&);
        bool usable;
    } cases[] = {
        { "missing", [](const fs::path&) {}, true },
        { "own and closed", [](const fs::path& p) { ::mkdir(p.c_str(), 0700); }, true },
        { "open to others",
            [](const fs::path& p) {
                ::mkdir(p.c_str(), 0700);
                ::chmod(p.c_str(), 0755);
            },
            false },
        { "a link to an own folder",
            [](const fs::path& p) {
                ::mkdir((p.string() + ".real").c_str(), 0700);
                fs::create_symlink(p.string() + ".real", p);
            },
            false },
        { "a file", [](const fs::path& p) { writeFile(p, "x"); }, false },
        { "another user's",
            [](const fs::path& p) {
                ::mkdir(p.c_str(), 0700);
                if (::chown(p.c_str(), 65534, 65534) != 0) fs::permissions(p, fs::perms(0777));
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = m_root / c.name;
        c.make(folder);
        const Status status = ensurePrivateFolder(folder);
        EXPECT_EQ(status.ok(), c.usable) << status.error;
        if (c.usable) {
            EXPECT_EQ(modeOf(folder), 0700u);
        } else {
            EXPECT_THAT(status.error, HasSubstr(folder.string()));
        }
    }
}

} // namespace
