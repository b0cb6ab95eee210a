#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include "corestrings.h"

#include <string>

// Whole files in and out, for setting up a test and checking what the program left behind.

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Creates or truncates the file and writes `content`; false unless all of it was written.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
