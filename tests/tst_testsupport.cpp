// The helpers that answer message boxes and file dialogs for the window tests.
#include "filedialogresponder.h"
#include "messageboxrecorder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSupport : public QObject
{
    Q_OBJECT

private slots:
    void recordsBoxesShownInARowAndClosesEach();
    void recordsWhetherABoxHadAParent();
    void closesABoxWithoutOkThroughItsEscapeButton();
    void chosenFileIsReturnedByTheOpenDialog();
    void chosenFolderIsReturnedByTheFolderDialog();
    void answersAreUsedInOrder();
    void cancelReturnsAnEmptyPath();
    void dialogWithoutAnswerIsCancelled();
    void pathTheDialogWouldRefuseCancelsIt();

private:
    QTemporaryDir dir;
    QString existingFile();
};

QString TestSupport::existingFile()
{
    const QString path = dir.filePath("log.qvl");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return path;
}

void TestSupport::recordsBoxesShownInARowAndClosesEach()
{
    MessageBoxRecorder boxes;
    QCOMPARE(QMessageBox::critical(nullptr, "Error", "first"), QMessageBox::Ok);
    QCOMPARE(QMessageBox::critical(nullptr, "Error", "second"), QMessageBox::Ok);
    QCOMPARE(QMessageBox::information(nullptr, "Finish", "done"), QMessageBox::Ok);

    const QList<ShownMessage> expected{
        {QMessageBox::Critical, "Error", "first", QMessageBox::Ok, false},
        {QMessageBox::Critical, "Error", "second", QMessageBox::Ok, false},
        {QMessageBox::Information, "Finish", "done", QMessageBox::Ok, false}};
    QCOMPARE(boxes.messages(), expected);
    QCOMPARE(boxes.texts(), QStringList({"first", "second", "done"}));
    QVERIFY(!QApplication::activeModalWidget());

    boxes.clear();
    QVERIFY(boxes.messages().isEmpty());
}

void TestSupport::recordsWhetherABoxHadAParent()
{
    QWidget window;
    MessageBoxRecorder boxes;
    QMessageBox::warning(&window, "Careful", "text");
    QCOMPARE(boxes.messages().size(), 1);
    QVERIFY(boxes.messages().first().hadParent);
    QCOMPARE(boxes.messages().first().icon, QMessageBox::Warning);
}

void TestSupport::closesABoxWithoutOkThroughItsEscapeButton()
{
    MessageBoxRecorder boxes;
    QCOMPARE(QMessageBox::question(nullptr, "Ask", "sure?", QMessageBox::Yes | QMessageBox::No),
             QMessageBox::No);
    QCOMPARE(boxes.texts(), QStringList{"sure?"});
}

void TestSupport::chosenFileIsReturnedByTheOpenDialog()
{
    const QString path = existingFile();
    QWidget window;
    FileDialogResponder dialogs;
    dialogs.choose(path);
    QCOMPARE(QFileDialog::getOpenFileName(&window, "Choose File"), path);

    QCOMPARE(dialogs.opened().size(), 1);
    const OpenedFileDialog opened = dialogs.opened().first();
    QCOMPARE(opened.caption, QString("Choose File"));
    QCOMPARE(opened.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(opened.parent, &window);
    QCOMPARE(opened.answer, path);
}

void TestSupport::chosenFolderIsReturnedByTheFolderDialog()
{
    FileDialogResponder dialogs;
    dialogs.choose(dir.path());
    QCOMPARE(QFileDialog::getExistingDirectory(nullptr, "Get Any File", QString(),
                                               QFileDialog::ShowDirsOnly),
             dir.path());
    QCOMPARE(dialogs.opened().first().fileMode, QFileDialog::Directory);
    QVERIFY(dialogs.opened().first().options.testFlag(QFileDialog::ShowDirsOnly));
}

void TestSupport::answersAreUsedInOrder()
{
    const QString path = existingFile();
    FileDialogResponder dialogs;
    dialogs.cancel();
    dialogs.choose(path);
    QCOMPARE(dialogs.pendingAnswers(), 2);
    QCOMPARE(QFileDialog::getOpenFileName(nullptr, "one"), QString());
    QCOMPARE(QFileDialog::getOpenFileName(nullptr, "two"), path);
    QCOMPARE(dialogs.pendingAnswers(), 0);
    QCOMPARE(dialogs.opened().size(), 2);
    QCOMPARE(dialogs.opened().at(0).answer, QString());
    QCOMPARE(dialogs.opened().at(1).answer, path);
}

void TestSupport::cancelReturnsAnEmptyPath()
{
    FileDialogResponder dialogs;
    dialogs.cancel();
    QVERIFY(QFileDialog::getExistingDirectory(nullptr, "Get Any File").isEmpty());
    QCOMPARE(dialogs.opened().size(), 1);
}

void TestSupport::dialogWithoutAnswerIsCancelled()
{
    FileDialogResponder dialogs;
    QTest::ignoreMessage(QtWarningMsg,
                         "FileDialogResponder: no answer queued for \"unplanned\", cancelling it");
    QVERIFY(QFileDialog::getOpenFileName(nullptr, "unplanned").isEmpty());
}

void TestSupport::pathTheDialogWouldRefuseCancelsIt()
{
    const QString missing = dir.filePath("missing.qvl");
    FileDialogResponder dialogs;
    dialogs.choose(missing);
    QTest::ignoreMessage(QtWarningMsg,
                         qPrintable(QString("FileDialogResponder: \"%1\" cannot be "
                                            "chosen in \"Choose File\", cancelling it")
                                        .arg(missing)));
    QVERIFY(QFileDialog::getOpenFileName(nullptr, "Choose File").isEmpty());
    QVERIFY(dialogs.opened().first().answer.isEmpty());
}

QTEST_MAIN(TestSupport)
#include "tst_testsupport.moc"
