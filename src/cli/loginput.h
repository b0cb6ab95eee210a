#pragma once

#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <string>

// A log named on the command line, ready to be read as the logger's own .qvl file.
struct LogInput
{
    std::string readPath; // the file the conversion reads, in the file system's encoding
    QString problem;      // why the log cannot be taken; empty when it is ready
    // A log made from another format lives in a temporary file, removed with the last copy.
    std::shared_ptr<QTemporaryFile> temporary;

    bool ready() const { return problem.isEmpty(); }
};

// Takes a log as the Decoder takes it: an existing file with ".qvl" in its path.
LogInput prepareLogInput(const QString &path);
