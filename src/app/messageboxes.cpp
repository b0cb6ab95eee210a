#include "messageboxes.h"

#include <QMessageBox>

void showError(const QString &text)
{
    QMessageBox::critical(nullptr, "Error", text, QMessageBox::Ok, QMessageBox::NoButton);
}

void showFinished(const QString &text)
{
    QMessageBox::information(nullptr, "Finish", text, QMessageBox::Ok, QMessageBox::NoButton);
}

void showWarning(const QString &text)
{
    QMessageBox::warning(nullptr, "Warning", text, QMessageBox::Ok, QMessageBox::NoButton);
}
