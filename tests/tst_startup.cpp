// The window as the user first sees it, and the module state it starts with.
#include "candecoder.h"
#include "formwidget.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

namespace {

bool isZero(const Conf &bus)
{
    return bus.CAN_pre == 0 && bus.CAN_BS1 == 0 && bus.CAN_BS2 == 0 && bus.IDType == 0 &&
           bus.canMode == 0 && bus.canEn == 0 && bus.maskMode == 0 && bus.FilterIdHigh == 0 &&
           bus.FilterIdLow == 0 && bus.FilterMaskIdHigh == 0 && bus.FilterMaskIdLow == 0;
}

bool isZero(const SignalSTM32 &trigger)
{
    return trigger.ID == 0 && trigger.DLC == 0 && trigger.isExt == 0 && trigger.start_bit == 0 &&
           trigger.msb == 0 && trigger.lsb == 0 && trigger.size == 0 && trigger.is_signed == 0 &&
           trigger.is_little_endian == 0 && trigger.rawValue == 0 && trigger.mode == 0 &&
           trigger.operation == 0;
}

// Writes a picture of one colour where the window looks for it.
void writePicture(const QDir &dir, const QString &name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(dir.mkpath("images"));
    QVERIFY(image.save(dir.filePath("images/" + name)));
}

} // namespace

class Startup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // The module state first: every later window changes it.
    void moduleStateStartsEmpty();
    void windowIsFixedAt560By320();
    void titleStatusBarAndMenuBar();
    void checkBoxes_data();
    void checkBoxes();
    void fieldTexts_data();
    void fieldTexts();
    void panelsHidden_data();
    void panelsHidden();
    void everyControlEnabled();
    void operationListsTheSixComparisons();
    void choosingAComparisonSetsTheCode_data();
    void choosingAComparisonSetsTheCode();
    void progressAndSignalListStartEmpty();
    void backgroundPicturesShowFromTheWorkingDirectory();
    void missingPicturesLeavePlainAreasAndNoMessage();

private:
    MainWindow *window = nullptr;
    MessageBoxRecorder *boxes = nullptr;
    template <class T> T *w(const char *name) { return formWidget<T>(window, name); }
};

void Startup::initTestCase()
{
    boxes = new MessageBoxRecorder;
    window = new MainWindow;
}

void Startup::cleanupTestCase()
{
    delete window;
    QVERIFY(boxes->messages().isEmpty());
    delete boxes;
}

void Startup::moduleStateStartsEmpty()
{
    QCOMPARE(oper, uint8_t(0));
    QVERIFY(logstr.isEmpty());
    QVERIFY(dbcstr.isEmpty());
    QVERIFY(outputstr.isEmpty());
    QVERIFY(OutNamestr.isEmpty());
    QVERIFY(FilepathConfig.isEmpty());
    QVERIFY(isZero(canSet.conf[0]));
    QVERIFY(isZero(canSet.conf[1]));
    QVERIFY(isZero(canSet.trigStm32));
    QVERIFY(mp.empty());
    QVERIFY(selTrigSig.name.empty());
}

void Startup::windowIsFixedAt560By320()
{
    QCOMPARE(window->size(), QSize(560, 320));
    QCOMPARE(window->minimumSize(), QSize(560, 320));
    QCOMPARE(window->maximumSize(), QSize(560, 320));
    window->resize(800, 600);
    QCOMPARE(window->size(), QSize(560, 320));
    window->resize(100, 100);
    QCOMPARE(window->size(), QSize(560, 320));
}

void Startup::titleStatusBarAndMenuBar()
{
    QCOMPARE(window->windowTitle(), QString("Quorvane: Decoder & Configurator"));
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QVERIFY(!window->statusBar()->isSizeGripEnabled());
    QVERIFY(!window->statusBar()->findChild<QSizeGrip *>());
    QVERIFY(window->menuBar()->actions().isEmpty());
}

void Startup::checkBoxes_data()
{
    QTest::addColumn<bool>("checked");
    const char *checked[] = {"En1",        "En2",     "Nor1",   "Nor2",  "smart",
                             "TrigAlways", "TrigStd", "Mask_1", "Mask_2"};
    const char *clear[] = {"Sil1", "Sil2", "TrigID", "TrigSig", "TrigExt", "List_1", "List_2"};
    for (const char *name : checked)
        QTest::newRow(name) << true;
    for (const char *name : clear)
        QTest::newRow(name) << false;
}

void Startup::checkBoxes()
{
    QFETCH(bool, checked);
    QCOMPARE(w<QCheckBox>(QTest::currentDataTag())->isChecked(), checked);
}

void Startup::fieldTexts_data()
{
    QTest::addColumn<QString>("text");
    for (const char *empty : {"logpath", "dbcpath", "outputpath", "FIleName", "speed1", "speed2",
                              "idTrig", "valueTrig"})
        QTest::newRow(empty) << QString();
    QTest::newRow("ConvFreq") << "100";
    for (const char *filter : {"IdHigh_1", "IdLow_1", "MIdHigh_1", "MIdLow_1", "IdHigh_2",
                               "IdLow_2", "MIdHigh_2", "MIdLow_2"})
        QTest::newRow(filter) << "0";
}

void Startup::fieldTexts()
{
    QFETCH(QString, text);
    QCOMPARE(w<QTextEdit>(QTest::currentDataTag())->toPlainText(), text);
}

void Startup::panelsHidden_data()
{
    QTest::addColumn<bool>("hidden");
    for (const char *hidden : {"TrigIDW", "TrigSigW", "widget", "widget_2"})
        QTest::newRow(hidden) << true;
    for (const char *shown : {"back", "logor", "sfondox"})
        QTest::newRow(shown) << false;
}

void Startup::panelsHidden()
{
    QFETCH(bool, hidden);
    QCOMPARE(w<QWidget>(QTest::currentDataTag())->isHidden(), hidden);
}

// En1 and En2 are checked without their slots running, and nothing else disables a control.
void Startup::everyControlEnabled()
{
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(control) || qobject_cast<QTextEdit *>(control) ||
            qobject_cast<QComboBox *>(control))
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }
}

void Startup::operationListsTheSixComparisons()
{
    auto *operation = w<QComboBox>("operation");
    QStringList items;
    for (int i = 0; i < operation->count(); ++i) {
        items << operation->itemText(i);
        QVERIFY(!operation->itemData(i).isValid());
    }
    QCOMPARE(items, QStringList({">", "<", "==", "!=", ">=", "<="}));
    QCOMPARE(operation->currentIndex(), 0);
    QCOMPARE(operation->currentText(), QString(">"));
}

void Startup::choosingAComparisonSetsTheCode_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    const char *texts[] = {">", "<", "==", "!=", ">=", "<="};
    // From the last back to the first, so that every choice is a change.
    for (int i = 5; i >= 0; --i)
        QTest::newRow(texts[i]) << i << i;
}

void Startup::choosingAComparisonSetsTheCode()
{
    QFETCH(int, index);
    QFETCH(int, code);
    w<QComboBox>("operation")->setCurrentIndex(index);
    QCOMPARE(int(oper), code);
}

void Startup::progressAndSignalListStartEmpty()
{
    QCOMPARE(w<QProgressBar>("progressBar")->value(), 0);
    QCOMPARE(w<QComboBox>("comboBox")->count(), 0);
}

// The pictures are named relative to the working directory.
void Startup::backgroundPicturesShowFromTheWorkingDirectory()
{
    QTemporaryDir dir;
    const QColor page(10, 120, 200), logo(200, 60, 10);
    writePicture(QDir(dir.path()), "foto.png", QSize(560, 320), page);
    writePicture(QDir(dir.path()), "logor.png", QSize(500, 30), logo);
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    MainWindow pictured;
    const QImage back = formWidget<QWidget>(&pictured, "back")->grab().toImage();
    const QImage strip = formWidget<QWidget>(&pictured, "logor")->grab().toImage();
    QDir::setCurrent(before);

    QCOMPARE(back.pixelColor(5, 5), page);
    QCOMPARE(back.pixelColor(555, 315), page);
    QCOMPARE(strip.pixelColor(250, 15), logo);
    QCOMPARE(strip.pixelColor(2, 2), logo);
}

void Startup::missingPicturesLeavePlainAreasAndNoMessage()
{
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    MainWindow plain;
    const QImage back = formWidget<QWidget>(&plain, "back")->grab().toImage();
    QDir::setCurrent(before);

    QCOMPARE(back.pixelColor(5, 5), plain.palette().color(QPalette::Window));
    QVERIFY(boxes->messages().isEmpty());
}

QTEST_MAIN(Startup)
#include "tst_startup.moc"
