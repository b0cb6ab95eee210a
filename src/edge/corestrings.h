#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// The core speaks UTF-8 std::string, with paths in the file system's encoding; the programs
// speak QString. These are the only conversions between the two.

// A path as the core takes it: in the file system's encoding.
std::string nativePath(const QString &path);
// A path the core gives back, as the programs show and open it.
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
