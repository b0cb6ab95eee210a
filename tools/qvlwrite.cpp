// qvlwrite: makes a log file (.qvl) from frames written as text, for examples and tests.
//
//     qvlwrite [-f] OUTPUT.qvl [INPUT.txt]
//
// Reads INPUT (or standard input when it is missing or "-"), checks every line, and only then
// writes OUTPUT. An existing OUTPUT is kept unless -f is given.

#include "frametext.h"
#include "log/logfile.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: qvlwrite [-f] OUTPUT.qvl [INPUT.txt]\n"
                 "Each input line holds one frame: time_us id std|ext [data bytes in hex],\n"
                 "for example: 1500000 123 std 11 22 33 44 55 66 77 88\n";
    return 2;
}

bool fileExists(const std::string &path)
{
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return true;
    }
    return false;
}

bool readFrames(const std::string &input, std::vector<LogFrame> &frames, std::string &error)
{
    if (input == "-")
        return readFrameText(std::cin, frames, error);
    std::ifstream in(input);
    if (!in) {
        error = "cannot open " + input;
        return false;
    }
    return readFrameText(in, frames, error);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool force = !args.empty() && args.front() == "-f";
    if (force)
        args.erase(args.begin());
    if (args.empty() || args.size() > 2)
        return usage();
    const std::string output = args[0];
    const std::string input = args.size() == 2 ? args[1] : "-";

    std::vector<LogFrame> frames;
    std::string error;
    if (!readFrames(input, frames, error)) {
        std::cerr << "qvlwrite: " << error << '\n';
        return 1;
    }
    if (!force && fileExists(output)) {
        std::cerr << "qvlwrite: " << output << " exists; give -f to replace it\n";
        return 1;
    }
    if (!writeLogFile(output, frames)) {
        std::cerr << "qvlwrite: cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
