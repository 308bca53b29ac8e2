// A FUSE file system for tests: shows a backing folder as it is, but like many
// FUSE, SMB and shared-folder mounts it has no exclusive rename (EINVAL), no
// hard links (EPERM) and no Unix permissions (chmod fails with the error given).
// Usage: nolinkfs BACKING MOUNTPOINT [ENOSYS|EPERM]; runs in the foreground,
// one thread, until unmounted or sent SIGTERM.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ops {
namespace {

std::string backing;
int chmodError = ENOSYS;

std::string real(const char* path) { return backing + path; }
int fail() { return -errno; }

int getattr(const char* path, struct stat* info, fuse_file_info*)
{
    return ::lstat(real(path).c_str(), info) == 0 ? 0 : fail();
}

int readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    DIR* dir = ::opendir(real(path).c_str());
    if (!dir) return fail();
    while (const dirent* entry = ::readdir(dir)) fill(buffer, entry->d_name, nullptr, 0, fuse_fill_dir_flags(0));
    ::closedir(dir);
    return 0;
}

int create(const char* path, mode_t mode, fuse_file_info* file)
{
    const int fd = ::open(real(path).c_str(), file->flags | O_CREAT, mode);
    if (fd < 0) return fail();
    file->fh = uint64_t(fd);
    return 0;
}

int open(const char* path, fuse_file_info* file)
{
    const int fd = ::open(real(path).c_str(), file->flags);
    if (fd < 0) return fail();
    file->fh = uint64_t(fd);
    return 0;
}

int read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    const ssize_t got = ::pread(int(file->fh), buffer, size, offset);
    return got < 0 ? fail() : int(got);
}

int write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    const ssize_t put = ::pwrite(int(file->fh), buffer, size, offset);
    return put < 0 ? fail() : int(put);
}

int fsync(const char*, int, fuse_file_info* file) { return ::fsync(int(file->fh)) == 0 ? 0 : fail(); }
int release(const char*, fuse_file_info* file) { return ::close(int(file->fh)) == 0 ? 0 : fail(); }
int unlink(const char* path) { return ::unlink(real(path).c_str()) == 0 ? 0 : fail(); }
int mkdir(const char* path, mode_t mode) { return ::mkdir(real(path).c_str(), mode) == 0 ? 0 : fail(); }
int rmdir(const char* path) { return ::rmdir(real(path).c_str()) == 0 ? 0 : fail(); }

int rename(const char* from, const char* to, unsigned int flags)
{
    if (flags != 0) return -EINVAL;
    return ::rename(real(from).c_str(), real(to).c_str()) == 0 ? 0 : fail();
}

int link(const char*, const char*) { return -EPERM; }
int chmod(const char*, mode_t, fuse_file_info*) { return -chmodError; }

int truncate(const char* path, off_t size, fuse_file_info* file)
{
    const int result = file ? ::ftruncate(int(file->fh), size) : ::truncate(real(path).c_str(), size);
    return result == 0 ? 0 : fail();
}

int utimens(const char* path, const struct timespec times[2], fuse_file_info*)
{
    return ::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : fail();
}

} // namespace
} // namespace ops

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: nolinkfs BACKING MOUNTPOINT [ENOSYS|EPERM]\n");
        return 2;
    }
    ops::backing = argv[1];
    if (argc > 3 && std::strcmp(argv[3], "EPERM") == 0) ops::chmodError = EPERM;
    fuse_operations operations {};
    operations.getattr = ops::getattr;
    operations.readdir = ops::readdir;
    operations.create = ops::create;
    operations.open = ops::open;
    operations.read = ops::read;
    operations.write = ops::write;
    operations.fsync = ops::fsync;
    operations.release = ops::release;
    operations.unlink = ops::unlink;
    operations.mkdir = ops::mkdir;
    operations.rmdir = ops::rmdir;
    operations.rename = ops::rename;
    operations.link = ops::link;
    operations.chmod = ops::chmod;
    operations.truncate = ops::truncate;
    operations.utimens = ops::utimens;
    char name[] = "nolinkfs";
    char foreground[] = "-f";
    char single[] = "-s";
    char* args[] = {name, foreground, single, argv[2], nullptr};
    return fuse_main(4, args, &operations, nullptr);
}
