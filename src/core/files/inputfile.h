#pragma once

#include <string>

// The checks every file named as an input passes, with one set of words for its faults, whatever
// kind of file it is (signal database, log, log text, configuration file, table). Paths are in
// the file system's encoding.

constexpr char kNoSuchFile[] = "no such file";
constexpr char kNotRegularFile[] = "not a regular file";
constexpr char kCannotBeRead[] = "the file cannot be read";

// An input opened for reading, or why it cannot be: it must exist, be a regular file (a pipe
// would wait for a writer for ever, a device such as /dev/zero never end) and be readable.
// Opening never blocks, not even on a pipe.
struct InputFile
{
    int descriptor = -1; // the caller's to close; -1 with a problem
    std::string problem; // kNoSuchFile, kNotRegularFile or kCannotBeRead; empty when open
    long long size = 0;  // in bytes, when opened
};
InputFile openInputFile(const std::string &path);

// Why the file cannot be read as an input, or an empty text; opens and closes it.
std::string inputFileProblem(const std::string &path);

// True when the path names a regular file.
bool isRegularFile(const std::string &path);
// True when both paths name one existing file, through any spelling, link or hard link.
bool sameFile(const std::string &first, const std::string &second);

// The whole file's bytes, or why it cannot be read (a problem as openInputFile gives it).
struct InputBytes
{
    std::string bytes;
    std::string problem;
};
InputBytes readInputFile(const std::string &path);
