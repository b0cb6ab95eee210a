#include "measure.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr size_t kBlock = size_t(4) << 20;

} // namespace

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double readFloorSeconds(const std::string &path)
{
    std::vector<char> block(kBlock);
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return -1;
    while (::read(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
    return secondsSince(start);
}

double writeFloorSeconds(const std::string &folder, uint64_t bytes)
{
    std::vector<char> block(kBlock, '7');
    const std::string path = folder + "/write-floor.csv";
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return -1;
    bool written = true;
    for (uint64_t left = bytes; left > 0 && written;) {
        const size_t size = left < block.size() ? size_t(left) : block.size();
        written = ::write(fd, block.data(), size) == ssize_t(size);
        left -= size;
    }
    written = ::close(fd) == 0 && written;
    const double seconds = secondsSince(start);
    ::unlink(path.c_str());
    return written ? seconds : -1;
}

double processCpuSeconds()
{
    struct rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

uint64_t fileSize(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

ChildRun runThisProgram(const std::vector<std::string> &arguments)
{
    return runProgram("/proc/self/exe", arguments);
}

ChildRun runProgram(const std::string &program, const std::vector<std::string> &arguments)
{
    ChildRun run;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return run;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    char chunk[4096];
    ssize_t got;
    while ((got = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0)
        run.output.append(chunk, size_t(got));
    ::close(pipeEnds[0]);
    int status = 0;
    struct rusage usage = {};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakMiB = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    return run;
}
