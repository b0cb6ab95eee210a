#pragma once

#include <QFileDialog>
#include <QList>
#include <QObject>
#include <QString>

// One file dialog as it was opened.
struct OpenedFileDialog
{
    QString caption;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::Options options;
    QStringList nameFilters;
    QWidget *parent = nullptr;
    QString answer; // the path chosen, empty when cancelled
};

// Answers the file dialogs that open while it lives, in order, from a queue of answers: choose()
// picks a path, cancel() closes the dialog as the Cancel button does. A dialog that opens with no
// answer queued is cancelled, so a test never hangs on it. The static QFileDialog functions are
// made to use Qt's own dialog (not a native one) while a responder lives.
//
// A chosen path must exist and be a file for the open-file dialogs or a folder for the folder
// dialogs, as the dialog itself insists; otherwise the dialog is cancelled with a warning.
//
//     FileDialogResponder dialogs;
//     dialogs.choose(dir.filePath("run.qvl"));
//     window.findChild<QPushButton *>("LogButt")->click();
//     QCOMPARE(dialogs.opened().size(), 1);
//     QCOMPARE(dialogs.opened().first().caption, QString("Choose File"));
//
// Only one responder should live at a time.
class FileDialogResponder : public QObject
{
public:
    FileDialogResponder();
    ~FileDialogResponder() override;

    void choose(const QString &path);
    void cancel();
    QList<OpenedFileDialog> opened() const { return dialogs; }
    int pendingAnswers() const { return answers.size(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Answer
    {
        bool choose;
        QString path;
    };
    void answer(QFileDialog *dialog, int index, const Answer &reply);

    QList<Answer> answers;
    QList<OpenedFileDialog> dialogs;
    bool nativeDialogsWereOff;
};
