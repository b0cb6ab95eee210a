#include "corestrings.h"

#include <QFile>

std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString qtPath(const std::string &path)
{
    return QFile::decodeName(path.c_str());
}

QStringList qtTexts(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << qtText(text);
    return list;
}
