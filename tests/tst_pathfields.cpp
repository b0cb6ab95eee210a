// The Decoder's path fields, the pickers and the configuration folder.
#include "candecoder.h"
#include "filedialogresponder.h"
#include "formwidget.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

namespace {

// The module string each field is copied into.
QString &stringOf(const QString &field)
{
    if (field == "logpath")
        return logstr;
    if (field == "dbcpath")
        return dbcstr;
    if (field == "outputpath")
        return outputstr;
    Q_ASSERT(field == "FIleName");
    return OutNamestr;
}

// Types text key by key, as the user would; unlike QTest::keyClicks it also takes non-ASCII text.
void type(QWidget *field, const QString &text)
{
    for (const QChar c : text) {
        if (c == '\n')
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

const char *const kFields[] = {"logpath", "dbcpath", "outputpath", "FIleName"};

} // namespace

class PathFields : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stringFollowsEveryKeystroke_data();
    void stringFollowsEveryKeystroke();
    void stringFollowsPasteAndClear_data();
    void stringFollowsPasteAndClear();

    void candbEditResetsSignalTrigger();
    void candbEditChecksAlwaysBesideIdentifierTrigger();
    void otherFieldsLeaveTheTriggerAlone_data();
    void otherFieldsLeaveTheTriggerAlone();
    void pickingTheSameCandbFileAgainResetsTheTrigger();

    void pickerPutsChosenPathIntoField_data();
    void pickerPutsChosenPathIntoField();
    void cancelledPickerLeavesFieldAndString_data();
    void cancelledPickerLeavesFieldAndString();
    void configFolderChoiceEnablesGenerator();
    void cancelledConfigFolderForgetsEarlierChoice();

private:
    template <class T> T *w(const char *name) { return formWidget<T>(window, name); }
    void chooseSignalTrigger();
    QString makeFile(const QString &name);

    QTemporaryDir dir;
    MainWindow *window = nullptr;
    MessageBoxRecorder *boxes = nullptr;
};

void PathFields::init()
{
    boxes = new MessageBoxRecorder;
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

// Nothing in this area reports anything to the user.
void PathFields::cleanup()
{
    delete window;
    QVERIFY(boxes->messages().isEmpty());
    delete boxes;
    for (const char *field : kFields)
        stringOf(field).clear();
    FilepathConfig.clear();
}

QString PathFields::makeFile(const QString &name)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    return file.fileName();
}

// The state a successful click on "Sig" leaves: set directly, so that no slot runs.
void PathFields::chooseSignalTrigger()
{
    w<QCheckBox>("TrigAlways")->setChecked(false);
    w<QCheckBox>("TrigSig")->setChecked(true);
    w<QWidget>("TrigSigW")->setVisible(true);
}

void PathFields::stringFollowsEveryKeystroke_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    for (const char *field : kFields) {
        const QByteArray f(field);
        QTest::newRow(f + " path") << field << "/home/user/logs/run 7.qvl";
        QTest::newRow(f + " trailing blank") << field << "C:\\logs\\ ";
        QTest::newRow(f + " line break") << field << "first\nsecond\n";
        QTest::newRow(f + " accents") << field << QString::fromUtf8("/tmp/prüfstand/µs");
    }
}

// After every change the string equals the field's whole text, with nothing trimmed.
void PathFields::stringFollowsEveryKeystroke()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    auto *edit = w<QTextEdit>(qPrintable(field));
    QStringList mismatches;
    int changes = 0;
    connect(edit, &QTextEdit::textChanged, this, [&] {
        ++changes;
        if (stringOf(field) != edit->toPlainText())
            mismatches << edit->toPlainText();
    });
    type(edit, typed);
    QCOMPARE(edit->toPlainText(), typed);
    QCOMPARE(stringOf(field), typed);
    QVERIFY(changes >= typed.size());
    QCOMPARE(mismatches, QStringList());
}

void PathFields::stringFollowsPasteAndClear_data()
{
    QTest::addColumn<QString>("field");
    for (const char *field : kFields)
        QTest::newRow(field) << field;
}

void PathFields::stringFollowsPasteAndClear()
{
    QFETCH(QString, field);
    auto *edit = w<QTextEdit>(qPrintable(field));
    edit->insertPlainText("/data/a.qvl");
    QCOMPARE(stringOf(field), QString("/data/a.qvl"));
    edit->moveCursor(QTextCursor::Start);
    edit->insertPlainText("  ");
    QCOMPARE(stringOf(field), QString("  /data/a.qvl"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->toPlainText(), QString());
    QCOMPARE(stringOf(field), QString());
}

void PathFields::candbEditResetsSignalTrigger()
{
    auto *signalList = w<QComboBox>("comboBox");
    signalList->addItems({"EngineSpeed", "VehicleSpeed"});
    signalList->setCurrentIndex(1);
    w<QComboBox>("operation")->setCurrentIndex(3);
    chooseSignalTrigger();
    QSignalSpy alwaysClicked(w<QCheckBox>("TrigAlways"), &QCheckBox::clicked);
    QSignalSpy sigClicked(w<QCheckBox>("TrigSig"), &QCheckBox::clicked);

    QTest::keyClicks(w<QTextEdit>("dbcpath"), "x");

    QCOMPARE(dbcstr, QString("x"));
    QVERIFY(w<QWidget>("TrigSigW")->isHidden());
    QVERIFY(!w<QCheckBox>("TrigSig")->isChecked());
    QVERIFY(w<QCheckBox>("TrigAlways")->isChecked());
    QCOMPARE(alwaysClicked.count(), 0);
    QCOMPARE(sigClicked.count(), 0);
    // Nothing else of the trigger changes.
    QVERIFY(!w<QCheckBox>("TrigID")->isChecked());
    QVERIFY(w<QWidget>("TrigIDW")->isHidden());
    QCOMPARE(signalList->count(), 2);
    QCOMPARE(signalList->currentText(), QString("VehicleSpeed"));
    QCOMPARE(w<QComboBox>("operation")->currentIndex(), 3);
    QCOMPARE(oper, uint8_t(3));
}

void PathFields::candbEditChecksAlwaysBesideIdentifierTrigger()
{
    QTest::mouseClick(w<QCheckBox>("TrigID"), Qt::LeftButton);
    QVERIFY(w<QCheckBox>("TrigID")->isChecked());
    QVERIFY(!w<QCheckBox>("TrigAlways")->isChecked());
    QVERIFY(w<QWidget>("TrigIDW")->isVisible());

    QTest::keyClicks(w<QTextEdit>("dbcpath"), "/");

    QVERIFY(w<QCheckBox>("TrigAlways")->isChecked());
    QVERIFY(w<QCheckBox>("TrigID")->isChecked());
    QVERIFY(w<QWidget>("TrigIDW")->isVisible());
}

void PathFields::otherFieldsLeaveTheTriggerAlone_data()
{
    QTest::addColumn<QString>("field");
    for (const char *field : {"logpath", "outputpath", "FIleName"})
        QTest::newRow(field) << field;
}

void PathFields::otherFieldsLeaveTheTriggerAlone()
{
    QFETCH(QString, field);
    chooseSignalTrigger();
    QTest::keyClicks(w<QTextEdit>(qPrintable(field)), "a");
    QVERIFY(w<QCheckBox>("TrigSig")->isChecked());
    QVERIFY(!w<QCheckBox>("TrigAlways")->isChecked());
    QVERIFY(!w<QWidget>("TrigSigW")->isHidden());
}

void PathFields::pickingTheSameCandbFileAgainResetsTheTrigger()
{
    const QString candb = makeFile("bus.json");
    FileDialogResponder dialogs;
    dialogs.choose(candb);
    w<QPushButton>("dbcButt")->click();
    QCOMPARE(dbcstr, candb);

    chooseSignalTrigger();
    dialogs.choose(candb);
    w<QPushButton>("dbcButt")->click();

    QCOMPARE(dbcstr, candb);
    QVERIFY(w<QCheckBox>("TrigAlways")->isChecked());
    QVERIFY(!w<QCheckBox>("TrigSig")->isChecked());
    QVERIFY(w<QWidget>("TrigSigW")->isHidden());
}

void PathFields::pickerPutsChosenPathIntoField_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("folder");
    QTest::newRow("log file") << "LogButt"
                              << "logpath" << false;
    QTest::newRow("Candb file") << "dbcButt"
                                << "dbcpath" << false;
    QTest::newRow("output folder") << "OutputButt"
                                   << "outputpath" << true;
}

void PathFields::pickerPutsChosenPathIntoField()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(bool, folder);
    // Any name and extension is offered: nothing is checked at this point.
    const QString chosen = folder ? dir.path() : makeFile("any name.txt");
    auto *edit = w<QTextEdit>(qPrintable(field));
    QTest::keyClicks(edit, "typed earlier");

    FileDialogResponder dialogs;
    dialogs.choose(chosen);
    QTest::mouseClick(w<QPushButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(edit->toPlainText(), chosen);
    QCOMPARE(stringOf(field), chosen);
    QCOMPARE(dialogs.opened().size(), 1);
    const OpenedFileDialog opened = dialogs.opened().first();
    QCOMPARE(opened.parent, window);
    if (folder) {
        QCOMPARE(opened.caption, QString("Get Any File"));
        QCOMPARE(opened.fileMode, QFileDialog::Directory);
        QVERIFY(opened.options.testFlag(QFileDialog::ShowDirsOnly));
    } else {
        QCOMPARE(opened.caption, QString("Choose File"));
        QCOMPARE(opened.fileMode, QFileDialog::ExistingFile);
        QCOMPARE(opened.nameFilters, QStringList{"All Files (*)"});
    }
}

void PathFields::cancelledPickerLeavesFieldAndString_data()
{
    pickerPutsChosenPathIntoField_data();
}

void PathFields::cancelledPickerLeavesFieldAndString()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    auto *edit = w<QTextEdit>(qPrintable(field));
    QTest::keyClicks(edit, "/kept/path");
    chooseSignalTrigger();
    QSignalSpy changes(edit, &QTextEdit::textChanged);

    FileDialogResponder dialogs;
    dialogs.cancel();
    QTest::mouseClick(w<QPushButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(dialogs.opened().size(), 1);
    QCOMPARE(edit->toPlainText(), QString("/kept/path"));
    QCOMPARE(stringOf(field), QString("/kept/path"));
    QCOMPARE(changes.count(), 0);
    QVERIFY(w<QCheckBox>("TrigSig")->isChecked());
}

void PathFields::configFolderChoiceEnablesGenerator()
{
    auto *generator = w<QPushButton>("Generator");
    generator->setEnabled(false);
    FileDialogResponder dialogs;
    dialogs.choose(dir.path());
    QTest::mouseClick(w<QPushButton>("outPath"), Qt::LeftButton);

    QCOMPARE(FilepathConfig, dir.path());
    QVERIFY(generator->isEnabled());
    const OpenedFileDialog opened = dialogs.opened().first();
    QCOMPARE(opened.caption, QString("Get Any File"));
    QCOMPARE(opened.fileMode, QFileDialog::Directory);
    QVERIFY(opened.options.testFlag(QFileDialog::ShowDirsOnly));
    QCOMPARE(opened.parent, window);
    // The folder is shown nowhere: in particular it is not the Decoder's output folder.
    QVERIFY(w<QTextEdit>("outputpath")->toPlainText().isEmpty());
    QVERIFY(outputstr.isEmpty());
}

void PathFields::cancelledConfigFolderForgetsEarlierChoice()
{
    auto *generator = w<QPushButton>("Generator");
    FileDialogResponder dialogs;
    dialogs.choose(dir.path());
    QTest::mouseClick(w<QPushButton>("outPath"), Qt::LeftButton);
    QCOMPARE(FilepathConfig, dir.path());

    generator->setEnabled(false);
    dialogs.cancel();
    QTest::mouseClick(w<QPushButton>("outPath"), Qt::LeftButton);

    QVERIFY(FilepathConfig.isEmpty());
    QVERIFY(!generator->isEnabled());
}

QTEST_MAIN(PathFields)
#include "tst_pathfields.moc"
