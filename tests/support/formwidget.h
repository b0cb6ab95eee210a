#pragma once

#include <QByteArray>
#include <QWidget>
#include <QtGlobal>

// The widget of the window's form with exactly this object name and class, as a slot bound by
// name would see it. Ends the test program with a clear message instead of a null pointer when
// the form has no such widget.
//
//     auto *convert = formWidget<QPushButton>(&window, "Convert");
template <class T> T *formWidget(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("the form has no %s named \"%s\"", T::staticMetaObject.className(), name);
    return found;
}
