#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QWidget>
#include <QtGlobal>

// A widget of the window by its object name; a test that names a widget the form lacks stops.
template <typename T> T *child(const QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("the window has no widget \"%s\"", name);
    return found;
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
