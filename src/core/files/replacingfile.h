#pragma once

#include <cstddef>
#include <string>

// Writes a file so that a failed write never costs the user the file it was to replace.
//
// An existing regular file keeps its content until its successor is completely written and
// stored: the bytes go to a temporary file in the same folder, with the old file's permissions,
// which takes the file's name only at commit. A new file is removed again when its writing fails.
// Anything else (a device such as /dev/full, a pipe, a file with several hard links, a folder
// where no temporary file can be made) is written in place as before: a device must never be
// renamed over or removed, and a hard link would lose its other names' content.
class ReplacingFile
{
public:
    ReplacingFile() = default;
    ~ReplacingFile(); // discards what was not committed
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // Opens `path` (in the platform's file-name encoding) for writing. False when the file
    // cannot be created or written, as opening it to write would fail; nothing is changed then.
    bool open(const std::string &path);
    // False when the bytes could not all be written.
    bool write(const void *data, size_t size);
    // Makes what was written the file's content and closes it. False when it could not all be
    // stored, or the file no longer has its name (its folder was removed meanwhile); an earlier
    // regular file then keeps its content.
    bool commit();
    // Closes without keeping what was written: an earlier regular file keeps its content, a new
    // one is removed. A file written in place keeps what reached it.
    void discard();

private:
    enum class Mode
    {
        InPlace,   // the file itself, truncated
        New,       // a file that did not exist
        Temporary, // a temporary file that replaces `target` at commit
    };

    bool openNew(const std::string &path);
    bool openTemporary(const std::string &realPath);
    bool openInPlace(const std::string &path);
    bool closeDescriptor();
    bool stillNamed() const;

    int descriptor = -1;
    Mode mode = Mode::InPlace;
    std::string target;    // the path written, or the file a temporary file replaces
    std::string temporary; // in Mode::Temporary
};
