#pragma once

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
