#pragma once

#include "files/temporaryname.h"

#include <cstddef>
#include <string>

// Writes a file so that its name only ever holds a whole file, and a failed write never costs the
// user the file it was to replace.
//
// Every regular file, new or replacing, is written as a file of its own in the same folder and
// takes the name only at commit, in one step: readers and other runs see the earlier file or the
// whole new one, never a part. Where the system allows it (Linux), that file has no name at all
// while it is written, so a run killed at any moment leaves nothing behind; elsewhere it has a
// short hidden name of its own, removed when the writing fails or a signal stops the program. A
// file with several hard links is replaced under the name given: the other names keep the earlier
// content, which a failed write must never cost either. The successor gets the old file's
// permissions and, where allowed, its owner. Only what is not a regular file (a device such as
// /dev/null, a pipe) is written in place: a device must never be renamed over or removed.
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
    // stored, or the file's folder is gone; an earlier file then keeps its content.
    bool commit();
    // Closes without keeping what was written: an earlier file keeps its content and a new one
    // never appears. A device or pipe written in place keeps what reached it.
    void discard();

private:
    enum class Mode
    {
        InPlace, // the file itself: a device or a pipe
        Unnamed, // a file without a name, linked to `target` at commit
        Hidden,  // a file named `temporary`, renamed to `target` at commit
    };

    bool openInPlace(const std::string &path);
    bool openSuccessor(const std::string &finalPath);
    bool giveName();
    bool linkUnnamed();
    bool closeDescriptor();

    int descriptor = -1;
    Mode mode = Mode::InPlace;
    std::string target;           // the path written, or the name the successor takes
    std::string temporary;        // in Mode::Hidden
    TemporaryName temporaryGuard; // removes `temporary` if a signal stops the program
};

// Writes the whole file at once through a ReplacingFile. False when it could not be written; an
// earlier file then keeps its content.
bool replaceFileWith(const std::string &path, const void *data, size_t size);
