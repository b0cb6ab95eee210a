#include "filedialogresponder.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>

namespace {

bool dialogWouldAccept(QFileDialog *dialog, const QString &path)
{
    const QFileInfo info(path);
    if (dialog->fileMode() == QFileDialog::Directory)
        return info.isDir();
    if (dialog->fileMode() == QFileDialog::ExistingFile ||
        dialog->fileMode() == QFileDialog::ExistingFiles)
        return info.isFile();
    return info.isAbsolute();
}

} // namespace

FileDialogResponder::FileDialogResponder()
    : nativeDialogsWereOff(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs))
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    qApp->installEventFilter(this);
}

FileDialogResponder::~FileDialogResponder()
{
    qApp->removeEventFilter(this);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, nativeDialogsWereOff);
}

void FileDialogResponder::choose(const QString &path)
{
    answers << Answer{true, path};
}

void FileDialogResponder::cancel()
{
    answers << Answer{false, QString()};
}

// Recorded when shown, answered from inside the dialog's own modal loop.
bool FileDialogResponder::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        auto *dialog = qobject_cast<QFileDialog *>(watched);
        if (dialog && dialog->isWindow()) {
            if (answers.isEmpty())
                qWarning("FileDialogResponder: no answer queued for \"%s\", cancelling it",
                         qPrintable(dialog->windowTitle()));
            const Answer reply = answers.isEmpty() ? Answer{false, QString()} : answers.takeFirst();
            const int index = dialogs.size();
            dialogs << OpenedFileDialog{dialog->windowTitle(),  dialog->fileMode(),
                                        dialog->options(),      dialog->nameFilters(),
                                        dialog->parentWidget(), QString()};
            QPointer<QFileDialog> target(dialog);
            QMetaObject::invokeMethod(
                this,
                [this, target, index, reply] {
                    if (target)
                        answer(target, index, reply);
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

void FileDialogResponder::answer(QFileDialog *dialog, int index, const Answer &reply)
{
    if (!reply.choose) {
        dialog->reject();
        return;
    }
    if (!dialogWouldAccept(dialog, reply.path)) {
        qWarning("FileDialogResponder: \"%s\" cannot be chosen in \"%s\", cancelling it",
                 qPrintable(reply.path), qPrintable(dialog->windowTitle()));
        dialog->reject();
        return;
    }
    if (dialog->fileMode() == QFileDialog::Directory)
        dialog->setDirectory(reply.path);
    else
        dialog->selectFile(reply.path);
    dialogs[index].answer = reply.path;
    // QFileDialog::accept() is protected; through QDialog it still runs the dialog's own checks.
    static_cast<QDialog *>(dialog)->accept();
}
