#pragma once

#include <QString>

// The boxes through which the window reports: modal, without a parent window, one OK button and
// no default button. Each returns when the user closes the box.
void showError(const QString &text);    // critical, titled "Error"
void showFinished(const QString &text); // information, titled "Finish"
void showWarning(const QString &text);  // warning, titled "Warning"
