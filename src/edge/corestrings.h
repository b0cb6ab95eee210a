#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// The core speaks UTF-8 std::string, with paths in the file system's encoding; the programs
// speak QString. These are the only conversions between the two.

// A path as the core takes it: in the file system's encoding. A file name is any bytes: those
// that are not UTF-8 stand in a QString as U+DC80 to U+DCFF, which no text holds, and go back
// out as the same bytes.
std::string nativePath(const QString &path);
// A path the core gives back, or a program's argument, as the programs show and open it.
QString qtPath(const std::string &path);

// A text of the core's, and one for it.
inline QString qtText(const std::string &text)
{
    return QString::fromStdString(text);
}
inline std::string coreText(const QString &text)
{
    return text.toStdString();
}
QStringList qtTexts(const std::vector<std::string> &texts);
