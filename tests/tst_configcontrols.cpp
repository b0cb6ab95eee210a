// The Configurator's panels and boxes: filter entry, exclusive pairs, trigger kinds and the
// trigger signal list.
#include "candecoder.h"
#include "mainwindow.h"
#include "messageboxrecorder.h"
#include "testfiles.h"
#include "windowchildren.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>
#include <tuple>

namespace {

const char *const kThreeSignals = R"({"messages": [
    {"id": 256, "dlc": 8, "signals": [
        {"name": "B_sig", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false},
        {"name": "A_sig", "startbit": 8, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false}]},
    {"id": 512, "dlc": 4, "signals": [
        {"name": "C_sig", "startbit": 7, "bitlength": 16, "scaling": 2, "offset": 1, "signed": true},
        {"name": "A_sig", "startbit": 16, "bitlength": 4, "scaling": 1, "offset": 0, "signed": false}]},
    {"signals": [
        {"name": "0_no_id", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0, "signed": false}]}]})";

auto fieldsOf(const Signal &sig)
{
    return std::tie(sig.ID, sig.name, sig.DLC, sig.start_bit, sig.msb, sig.lsb, sig.size,
                    sig.is_signed, sig.factor, sig.offset, sig.is_little_endian);
}

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

} // namespace

class TestConfigControls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void filterOk_data();
    void filterOk();
    void filterPanelOpensAndKeepsItsTexts();
    void maskAndListKeepTheClickedOne();
    void exclusivePairsToggle_data();
    void exclusivePairsToggle();
    void enableBoxSwitchesItsBusControls();
    void triggerKindsExcludeEachOther();
    void sigWithoutValidPathIsRefused_data();
    void sigWithoutValidPathIsRefused();
    void sigListsTheSignalsSorted();
    void duplicateNamesSelectTheFirstDefinition();
    void secondCandbReplacesTheList();
    void clickThatClearsSigStillReadsTheList();
    void malformedCandbKeepsTheEarlierList();
    void candbWithoutSignalsSelectsNone();
    void exampleDbcFileListsWhatItsCandbFileLists();
    void operationSetsTheComparisonCode();

private:
    void setText(const char *field, const QString &text);
    void click(const char *button);
    QCheckBox *box(const char *name) { return child<QCheckBox>(*window, name); }
    QComboBox *signalList() { return child<QComboBox>(*window, "comboBox"); }
    // Shown as far as the window goes (the window itself is never put on screen).
    bool shown(const char *panel)
    {
        return child<QWidget>(*window, panel)->isVisibleTo(window.get());
    }
    QStringList clickSig(const QByteArray &candb);

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<MainWindow> window;
};

void TestConfigControls::init()
{
    canSet = Config{};
    selTrigSig = Signal{};
    mp.clear();
    folder = std::make_unique<QTemporaryDir>();
    window = std::make_unique<MainWindow>();
}

void TestConfigControls::cleanup()
{
    window.reset();
    folder.reset();
}

void TestConfigControls::setText(const char *field, const QString &text)
{
    child<QTextEdit>(*window, field)->setPlainText(text);
}

void TestConfigControls::click(const char *button)
{
    child<QAbstractButton>(*window, button)->click();
}

// Writes `candb` to a fresh file, names it in the Candb field and clicks "Sig".
QStringList TestConfigControls::clickSig(const QByteArray &candb)
{
    static int files = 0;
    const QString path = folder->filePath(QString("db%1.json").arg(++files));
    if (!writeFile(path, candb))
        return {"could not write " + path};
    setText("dbcpath", path);
    MessageBoxRecorder boxes;
    click("TrigSig");
    return boxes.texts();
}

void TestConfigControls::filterOk_data()
{
    QTest::addColumn<int>("bus");
    QTest::addColumn<QStringList>("texts"); // IdHigh, IdLow, MIdHigh, MIdLow
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QList<uint>>("stored"); // the record starts at 7 in every field
    for (int bus : {1, 2}) {
        const QByteArray suffix = bus == 1 ? " (bus 1)" : " (bus 2)";
        QTest::newRow("edges" + suffix) << bus << QStringList{"0", "65535", "10", "+12"}
                                        << QStringList{} << QList<uint>{0, 65535, 10, 12};
        QTest::newRow("IdHigh 70000" + suffix)
            << bus << QStringList{"70000", "1", "2", "3"}
            << QStringList{"IdHigh Out Of Range Error!"} << QList<uint>{7, 1, 2, 3};
        QTest::newRow("all four wrong, in field order" + suffix)
            << bus << QStringList{"", "-1", "0x7FF", "65536"}
            << QStringList{"IdHigh Error!", "IdLow Out Of Range Error!", "MIdHigh Error!",
                           "MIdLow Out Of Range Error!"}
            << QList<uint>{7, 7, 7, 7};
        QTest::newRow("decimal point and letters" + suffix)
            << bus << QStringList{"5", "6", "1.5", "abc"}
            << QStringList{"MIdHigh Error!", "MIdLow Error!"} << QList<uint>{5, 6, 7, 7};
    }
}

void TestConfigControls::filterOk()
{
    QFETCH(int, bus);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, messages);
    QFETCH(QList<uint>, stored);
    for (Conf &conf : canSet.conf)
        conf.FilterIdHigh = conf.FilterIdLow = conf.FilterMaskIdHigh = conf.FilterMaskIdLow = 7;
    const char *const fields[2][4] = {{"IdHigh_1", "IdLow_1", "MIdHigh_1", "MIdLow_1"},
                                      {"IdHigh_2", "IdLow_2", "MIdHigh_2", "MIdLow_2"}};
    const char *panel = bus == 1 ? "widget" : "widget_2";
    click(bus == 1 ? "Filter1" : "Filter2");
    QVERIFY(shown(panel));
    for (int i = 0; i < 4; ++i)
        setText(fields[bus - 1][i], texts[i]);

    MessageBoxRecorder boxes;
    click(bus == 1 ? "okfilter_1" : "okfilter_2");
    QCOMPARE(boxes.texts(), messages);
    for (const ShownMessage &message : boxes.messages())
        QCOMPARE(message.title, QString("Error"));
    const Conf &conf = canSet.conf[bus - 1];
    QCOMPARE((QList<uint>{conf.FilterIdHigh, conf.FilterIdLow, conf.FilterMaskIdHigh,
                          conf.FilterMaskIdLow}),
             stored);
    QCOMPARE(shown(panel), !messages.isEmpty());
    const Conf &other = canSet.conf[2 - bus];
    QCOMPARE(other.FilterIdHigh, 7u);
    QCOMPARE(other.FilterMaskIdLow, 7u);
    for (int i = 0; i < 4; ++i) // the panel keeps what was typed
        QCOMPARE(child<QTextEdit>(*window, fields[bus - 1][i])->toPlainText(), texts[i]);
}

void TestConfigControls::filterPanelOpensAndKeepsItsTexts()
{
    QVERIFY(!shown("widget_2"));
    click("Filter2");
    QVERIFY(shown("widget_2"));
    setText("IdLow_2", "99");
    click("okfilter_2");
    QVERIFY(!shown("widget_2"));
    click("Filter2");
    QVERIFY(shown("widget_2"));
    QCOMPARE(child<QTextEdit>(*window, "IdLow_2")->toPlainText(), QString("99"));
    QCOMPARE(canSet.conf[1].FilterIdLow, 99u);
    QVERIFY(!shown("widget"));
}

void TestConfigControls::maskAndListKeepTheClickedOne()
{
    QVERIFY(box("Mask_1")->isChecked() && box("Mask_2")->isChecked());
    click("List_1");
    QCOMPARE(canSet.conf[0].maskMode, uint8_t(1));
    QVERIFY(box("List_1")->isChecked() && !box("Mask_1")->isChecked());

    click("List_2");
    click("Mask_2");
    QVERIFY(box("Mask_2")->isChecked() && !box("List_2")->isChecked());
    QCOMPARE(canSet.conf[1].maskMode, uint8_t(0));
    QVERIFY(box("List_1")->isChecked()); // bus 1 untouched
    QCOMPARE(canSet.conf[0].maskMode, uint8_t(1));

    click("Mask_2");
    QVERIFY(box("Mask_2")->isChecked() && !box("List_2")->isChecked());
}

void TestConfigControls::exclusivePairsToggle_data()
{
    QTest::addColumn<QString>("first"); // checked at start
    QTest::addColumn<QString>("second");
    QTest::newRow("Nor1/Sil1") << "Nor1"
                               << "Sil1";
    QTest::newRow("Nor2/Sil2") << "Nor2"
                               << "Sil2";
    QTest::newRow("TrigStd/TrigExt") << "TrigStd"
                                     << "TrigExt";
}

void TestConfigControls::exclusivePairsToggle()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QByteArray a = first.toLatin1(), b = second.toLatin1();
    QVERIFY(box(a)->isChecked() && !box(b)->isChecked());
    click(a); // a click on the checked box moves the check
    QVERIFY(!box(a)->isChecked() && box(b)->isChecked());
    click(a);
    QVERIFY(box(a)->isChecked() && !box(b)->isChecked());
    click(b);
    QVERIFY(!box(a)->isChecked() && box(b)->isChecked());
    click(b);
    QVERIFY(box(a)->isChecked() && !box(b)->isChecked());
}

void TestConfigControls::enableBoxSwitchesItsBusControls()
{
    click("Sil2");
    setText("speed2", "250000");
    click("En2");
    for (const char *name : {"Nor2", "Sil2", "speed2", "Filter2"})
        QVERIFY2(!child<QWidget>(*window, name)->isEnabled(), name);
    for (const char *name : {"Nor1", "Sil1", "speed1", "Filter1"})
        QVERIFY2(child<QWidget>(*window, name)->isEnabled(), name);
    click("En2");
    for (const char *name : {"Nor2", "Sil2", "speed2", "Filter2"})
        QVERIFY2(child<QWidget>(*window, name)->isEnabled(), name);
    QVERIFY(box("Sil2")->isChecked());
    QCOMPARE(child<QTextEdit>(*window, "speed2")->toPlainText(), QString("250000"));
}

void TestConfigControls::triggerKindsExcludeEachOther()
{
    QVERIFY(box("TrigAlways")->isChecked() && !shown("TrigIDW"));
    click("TrigID");
    QVERIFY(box("TrigID")->isChecked() && !box("TrigAlways")->isChecked());
    QVERIFY(shown("TrigIDW"));
    click("TrigID");
    QVERIFY(!box("TrigID")->isChecked() && !box("TrigAlways")->isChecked());
    QVERIFY(!shown("TrigIDW"));
    click("TrigID");
    click("TrigAlways");
    QVERIFY(box("TrigAlways")->isChecked() && !box("TrigID")->isChecked());
    QVERIFY(!shown("TrigIDW"));
}

void TestConfigControls::sigWithoutValidPathIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("missing file") << "/nonexistent/db.json";
    QTest::newRow("upper-case extension") << "DB.JSON";
}

void TestConfigControls::sigWithoutValidPathIsRefused()
{
    QFETCH(QString, path);
    QString named = path;
    if (path == "DB.JSON") {
        named = folder->filePath(path);
        QVERIFY(writeFile(named, kThreeSignals));
    }
    setText("dbcpath", named);
    MessageBoxRecorder boxes;
    click("TrigSig");
    QCOMPARE(boxes.messages(),
             (QList<ShownMessage>{{QMessageBox::Critical, "Error", "Candb json not Valid",
                                   QMessageBox::Ok, false}}));
    QVERIFY(!box("TrigSig")->isChecked() && !box("TrigAlways")->isChecked() &&
            !box("TrigID")->isChecked());
    QVERIFY(!shown("TrigSigW"));
    QCOMPARE(signalList()->count(), 0);
}

void TestConfigControls::sigListsTheSignalsSorted()
{
    click("TrigID");
    QCOMPARE(clickSig(kThreeSignals), QStringList{});
    QCOMPARE(itemsOf(signalList()), (QStringList{"A_sig", "A_sig", "B_sig", "C_sig"}));
    QCOMPARE(signalList()->currentIndex(), 0);
    QCOMPARE(QString::fromStdString(selTrigSig.name), QString("A_sig"));
    QVERIFY(shown("TrigSigW"));
    QVERIFY(!shown("TrigIDW"));
    QVERIFY(box("TrigSig")->isChecked() && !box("TrigID")->isChecked() &&
            !box("TrigAlways")->isChecked());
    QCOMPARE(mp.size(), size_t(3));

    signalList()->setCurrentText("C_sig");
    QCOMPARE(selTrigSig.ID, 512u);
    QCOMPARE(selTrigSig.msb, 7);
    QCOMPARE(selTrigSig.lsb, 8);
    QCOMPARE(selTrigSig.factor, 2.0);
}

void TestConfigControls::duplicateNamesSelectTheFirstDefinition()
{
    clickSig(kThreeSignals);
    for (int item : {1, 0}) {
        signalList()->setCurrentIndex(item);
        QCOMPARE(signalList()->currentText(), QString("A_sig"));
        QCOMPARE(selTrigSig.ID, 256u);
        QCOMPARE(selTrigSig.start_bit, 8);
    }
}

void TestConfigControls::secondCandbReplacesTheList()
{
    clickSig(kThreeSignals);
    const QStringList boxes = clickSig(R"({"messages": [{"id": 7, "dlc": 2, "signals": [
        {"name": "Z_sig", "startbit": 0, "bitlength": 2, "scaling": 1, "offset": 0, "signed": false},
        {"name": "C_sig", "startbit": 2, "bitlength": 3, "scaling": 1, "offset": 0, "signed": false}
        ]}]})");
    QCOMPARE(boxes, QStringList{});
    QCOMPARE(itemsOf(signalList()), (QStringList{"C_sig", "Z_sig"}));
    QCOMPARE(mp.size(), size_t(2));
    QCOMPARE(selTrigSig.ID, 7u); // C_sig as the second file defines it
    QCOMPARE(selTrigSig.size, 3);
}

void TestConfigControls::clickThatClearsSigStillReadsTheList()
{
    clickSig(kThreeSignals);
    QVERIFY(box("TrigSig")->isChecked());
    const QString path = folder->filePath("other.json");
    QVERIFY(writeFile(path, R"({"messages": [{"id": 1, "dlc": 1, "signals": [
        {"name": "Only", "startbit": 0, "bitlength": 1, "scaling": 1, "offset": 0, "signed": false}
        ]}]})"));
    // Typed without the path field's own reset, as if edited while "Sig" stays checked.
    child<QTextEdit>(*window, "dbcpath")->blockSignals(true);
    setText("dbcpath", path);
    child<QTextEdit>(*window, "dbcpath")->blockSignals(false);
    click("TrigSig");
    QVERIFY(!box("TrigSig")->isChecked());
    QVERIFY(!shown("TrigSigW"));
    QCOMPARE(itemsOf(signalList()), QStringList{"Only"});
    QCOMPARE(dbcstr, path);
}

void TestConfigControls::malformedCandbKeepsTheEarlierList()
{
    clickSig(kThreeSignals);
    signalList()->setCurrentText("B_sig");
    const QStringList boxes = clickSig(R"({"messages": [{"id": 1, "dlc": 1, "signals": [
        {"name": "Broken", "startbit": "zero", "bitlength": 1, "scaling": 1, "offset": 0,
         "signed": false}]}]})");
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().startsWith("Candb json not Valid\n"), qPrintable(boxes.first()));
    QVERIFY(boxes.first().contains("startbit"));
    QCOMPARE(itemsOf(signalList()), (QStringList{"A_sig", "A_sig", "B_sig", "C_sig"}));
    QCOMPARE(signalList()->currentText(), QString("B_sig"));
    QCOMPARE(QString::fromStdString(selTrigSig.name), QString("B_sig"));
    QCOMPARE(mp.size(), size_t(3));
    QVERIFY(!box("TrigSig")->isChecked());
    QVERIFY(!shown("TrigSigW"));

    QCOMPARE(clickSig("{\"messages\": [").size(), 1); // not JSON at all
    QCOMPARE(mp.size(), size_t(3));
}

void TestConfigControls::candbWithoutSignalsSelectsNone()
{
    clickSig(kThreeSignals);
    QCOMPARE(clickSig(R"({"messages": []})"), QStringList{});
    QCOMPARE(signalList()->count(), 0);
    QVERIFY(mp.empty());
    QVERIFY(selTrigSig.name.empty());
    QCOMPARE(selTrigSig.ID, 0u);
    QVERIFY(box("TrigSig")->isChecked());
}

// The example's Candb file and its DBC file list the same signals, each described alike.
void TestConfigControls::exampleDbcFileListsWhatItsCandbFileLists()
{
    setText("dbcpath", QUORVANE_EXAMPLES_DIR "/vehicle.json");
    click("TrigSig");
    const QStringList candbItems = itemsOf(signalList());
    const std::map<std::string, Signal> candbSignals = mp;
    QCOMPARE(candbItems.size(), 32);

    setText("dbcpath", QUORVANE_EXAMPLES_DIR "/vehicle.dbc");
    MessageBoxRecorder boxes;
    click("TrigSig");
    QCOMPARE(boxes.texts(), QStringList{});
    QCOMPARE(itemsOf(signalList()), candbItems);
    QCOMPARE(mp.size(), candbSignals.size());
    for (const auto &[name, sig] : candbSignals)
        QVERIFY2(mp.count(name) && fieldsOf(mp.at(name)) == fieldsOf(sig), name.c_str());
    QCOMPARE(QString::fromStdString(selTrigSig.name), QString("AccelPedal"));
}

void TestConfigControls::operationSetsTheComparisonCode()
{
    QComboBox *operation = child<QComboBox>(*window, "operation");
    QCOMPARE(oper, uint8_t(0));
    operation->setCurrentText("!=");
    QCOMPARE(oper, uint8_t(3));
    operation->setCurrentText("<=");
    QCOMPARE(oper, uint8_t(5));
}

QTEST_MAIN(TestConfigControls)
#include "tst_configcontrols.moc"
