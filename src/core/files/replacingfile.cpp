#include "files/replacingfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as fopen does

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, through every symbolic link; empty when it does not exist.
std::string realPathOf(const std::string &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result = resolved;
    std::free(resolved);
    return result;
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
        return errno == ENOENT ? openNew(path) : openInPlace(path);
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1)
        return openInPlace(path);
    // Replacing a file that could not be opened for writing would get round its protection.
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    const std::string realPath = realPathOf(path);
    if (!realPath.empty() && openTemporary(realPath)) {
        // The new file looks like the old one: its permissions and, where allowed, its owner.
        if (::fchmod(descriptor, info.st_mode & 07777) != 0 ||
            (::fchown(descriptor, info.st_uid, info.st_gid) != 0 && errno != EPERM)) {
            discard();
            return openInPlace(path);
        }
        return true;
    }
    return openInPlace(path);
}

bool ReplacingFile::openNew(const std::string &path)
{
    descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (descriptor < 0)
        return errno == EEXIST && openInPlace(path); // made meanwhile, or a dangling link
    mode = Mode::New;
    target = path;
    return true;
}

bool ReplacingFile::openTemporary(const std::string &realPath)
{
    std::string pattern = folderOf(realPath) + "/." + nameOf(realPath) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0)
        return false;
    mode = Mode::Temporary;
    target = realPath;
    temporary = name.data();
    return true;
}

bool ReplacingFile::openInPlace(const std::string &path)
{
    descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
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

// True while `path` still names the open file: not when it, or its folder, was removed or
// replaced meanwhile, for then what was written is on disk under no name.
bool ReplacingFile::stillNamed() const
{
    struct stat opened, named;
    return ::fstat(descriptor, &opened) == 0 && ::stat(target.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool ReplacingFile::commit()
{
    if (descriptor < 0)
        return false;
    if (mode != Mode::Temporary) {
        const bool named = stillNamed();
        return closeDescriptor() && named;
    }
    // On disk before it takes the name, so that a crash leaves the old file or the whole new one.
    const bool synced = ::fdatasync(descriptor) == 0;
    const bool closed = closeDescriptor();
    if (synced && closed && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

void ReplacingFile::discard()
{
    if (descriptor < 0)
        return;
    closeDescriptor();
    if (mode == Mode::Temporary)
        ::unlink(temporary.c_str());
    else if (mode == Mode::New)
        ::unlink(target.c_str());
}
