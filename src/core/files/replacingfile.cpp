#include "files/replacingfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as fopen does
constexpr int kMostLinkHops = 40;     // as the system's own limit on symbolic links in a path

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file an existing path finally names, through every symbolic link; empty on failure.
std::string realPathOf(const std::string &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result = resolved;
    std::free(resolved);
    return result;
}

// Where a new file is made for a path that names nothing yet: the path itself, or the place a
// dangling symbolic link points at, as opening it to write would create the file there.
std::string newFilePath(std::string path)
{
    for (int hop = 0; hop < kMostLinkHops; ++hop) {
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length < 0 || size_t(length) == sizeof link)
            return path;
        const std::string pointsAt(link, size_t(length));
        path = pointsAt.front() == '/' ? pointsAt : folderOf(path) + '/' + pointsAt;
    }
    return path; // a loop: making the file there fails
}

// Calls `make` with hidden names in `folder` until one was free: a name of its own, short
// whatever the length of the final name. Empty, with errno set, when none could be made.
template <typename Make> std::string freshName(const std::string &folder, Make make)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", unsigned(random()));
        const std::string name = folder + "/.quorvane-" + suffix;
        if (make(name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Gives the successor the earlier file's permissions and, where allowed, its owner.
bool takeOver(int descriptor, const struct stat &earlier)
{
    return ::fchmod(descriptor, earlier.st_mode & 07777) == 0 &&
           (::fchown(descriptor, earlier.st_uid, earlier.st_gid) == 0 || errno == EPERM);
}

} // namespace

ReplacingFile::~ReplacingFile()
{
    discard();
}

bool ReplacingFile::open(const std::string &path)
{
    discard();
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT && openSuccessor(newFilePath(path));
    // A file without any name (reached through /proc/self/fd) has no name a successor could take.
    if (!S_ISREG(info.st_mode) || info.st_nlink == 0)
        return openInPlace(path);
    // Replacing a file that could not be opened for writing would get round its protection.
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    const std::string realPath = realPathOf(path);
    if (realPath.empty() || !openSuccessor(realPath))
        return false;
    if (!takeOver(descriptor, info)) {
        discard();
        return false;
    }
    return true;
}

bool ReplacingFile::openSuccessor(const std::string &finalPath)
{
    const std::string folder = folderOf(finalPath);
    target = finalPath;
#ifdef O_TMPFILE
    descriptor = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
    if (descriptor >= 0) {
        mode = Mode::Unnamed;
        return true;
    }
#endif
    // The system or the file system has no unnamed files.
    temporary = freshName(folder, [this](const std::string &name) {
        descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        return descriptor >= 0;
    });
    mode = Mode::Hidden;
    if (descriptor < 0)
        return false;
    temporaryGuard = TemporaryName(temporary);
    return true;
}

bool ReplacingFile::openInPlace(const std::string &path)
{
    descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    mode = Mode::InPlace;
    target = path;
    return true;
}

bool ReplacingFile::write(const void *data, size_t size)
{
    if (descriptor < 0)
        return false;
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

bool ReplacingFile::closeDescriptor()
{
    const bool closed = ::close(descriptor) == 0;
    descriptor = -1;
    return closed;
}

bool ReplacingFile::commit()
{
    if (descriptor < 0)
        return false;
    if (mode == Mode::InPlace)
        return closeDescriptor();
    // On disk before it takes the name, so that a crash leaves the old file or the whole new one.
    if (::fdatasync(descriptor) != 0 || !giveName()) {
        discard();
        return false;
    }
    closeDescriptor();
    temporaryGuard = TemporaryName();
    return true;
}

bool ReplacingFile::giveName()
{
    if (mode == Mode::Unnamed)
        return linkUnnamed();
    return ::rename(temporary.c_str(), target.c_str()) == 0;
}

// A new file takes its name at once. A name that exists (an earlier file, or one another run
// made meanwhile) is replaced in one step: the file is linked under a hidden name, which is
// renamed over it.
bool ReplacingFile::linkUnnamed()
{
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    auto link = [&](const std::string &name) {
        // Without /proc, AT_EMPTY_PATH does the same for a privileged process.
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
               (errno == ENOENT &&
                ::linkat(descriptor, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0);
    };
    if (link(target))
        return true;
    if (errno != EEXIST)
        return false;
    const std::string hidden = freshName(folderOf(target), link);
    if (hidden.empty())
        return false;
    const TemporaryName guard(hidden);
    if (::rename(hidden.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(hidden.c_str());
    return false;
}

void ReplacingFile::discard()
{
    if (descriptor < 0)
        return;
    closeDescriptor();
    if (mode == Mode::Hidden)
        ::unlink(temporary.c_str());
    temporaryGuard = TemporaryName();
}

bool replaceFileWith(const std::string &path, const void *data, size_t size)
{
    ReplacingFile file;
    return file.open(path) && file.write(data, size) && file.commit();
}
