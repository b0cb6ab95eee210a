#include "files/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

InputFile openInputFile(const std::string &path)
{
    InputFile input;
    // Without O_NONBLOCK, opening a pipe would wait for a writer for ever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        input.problem = errno == ENOENT || errno == ENOTDIR ? kNoSuchFile : kCannotBeRead;
        return input;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        input.problem = kNotRegularFile;
        return input;
    }
    // Reads wait for the disk again, as a regular file's always do.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    input.descriptor = descriptor;
    input.size = static_cast<long long>(status.st_size);
    return input;
}

std::string inputFileProblem(const std::string &path)
{
    const InputFile input = openInputFile(path);
    if (input.descriptor >= 0)
        ::close(input.descriptor);
    return input.problem;
}

bool isRegularFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool sameFile(const std::string &first, const std::string &second)
{
    struct stat a, b;
    if (stat(first.c_str(), &a) != 0 || stat(second.c_str(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

InputBytes readInputFile(const std::string &path)
{
    InputBytes input;
    const InputFile file = openInputFile(path);
    if (file.descriptor < 0) {
        input.problem = file.problem;
        return input;
    }
    input.bytes.resize(size_t(file.size));
    size_t filled = 0;
    for (;;) {
        if (filled == input.bytes.size())
            input.bytes.resize(filled + 65536); // the file grew meanwhile
        const ssize_t got =
            ::read(file.descriptor, &input.bytes[filled], input.bytes.size() - filled);
        if (got > 0) {
            filled += size_t(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            input.problem = kCannotBeRead;
            break;
        }
    }
    ::close(file.descriptor);
    input.bytes.resize(input.problem.empty() ? filled : 0);
    return input;
}
