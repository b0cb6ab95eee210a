#pragma once

#include "log/logtextfiles.h"

#include <QString>

#include <memory>
#include <string>

// A candump or ASC log imported into a temporary .qvl in the system's temporary folder, never
// beside the user's files. Where the system allows it (Linux) that file never has a name, so that
// no run, however it ends, leaves it behind; elsewhere a signal that stops the program removes it.
struct ImportedLog
{
    std::string readPath; // the .qvl to read, in the file system's encoding
    // Keeps the temporary file; it is gone with the last copy.
    std::shared_ptr<const void> temporary;
    LogTextSummary summary; // the import's; Finished when the log is ready
    QString problem;        // why no temporary file could be made; empty otherwise
};
ImportedLog importToTemporaryLog(const QString &path, LogTextFormat format);
