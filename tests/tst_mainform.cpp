// The main form as the form class builds it, before the main window changes anything.
#include "ui_mainwindow.h"

#include <QTest>
#include <QTranslator>

namespace {

enum class TextKind
{
    None,
    Text,             // label, button or check box text, translatable
    Placeholder,      // placeholder of a text field, translatable
    FixedPlaceholder, // placeholder set once, not translatable
};

struct FormWidget
{
    const char *name;
    const char *className;
    const char *parent;
    QRect geometry;
    TextKind kind;
    const char *text;
};

// Every widget of the form in the order the form class declares and creates them.
const FormWidget kForm[] = {
    {"centralwidget", "QWidget", "MainWindow", {}, TextKind::None, ""},
    {"dbcpath",
     "QTextEdit",
     "centralwidget",
     {20, 80, 211, 41},
     TextKind::FixedPlaceholder,
     "Paste Candb File path or use button"},
    {"logpath",
     "QTextEdit",
     "centralwidget",
     {20, 30, 211, 41},
     TextKind::Placeholder,
     "Paste Log FIle Path or use button"},
    {"outPath", "QPushButton", "centralwidget", {340, 230, 81, 41}, TextKind::Text, "Output Path"},
    {"speed2",
     "QTextEdit",
     "centralwidget",
     {440, 40, 91, 31},
     TextKind::Placeholder,
     "CAN speed 2"},
    {"dbcButt", "QPushButton", "centralwidget", {240, 80, 61, 41}, TextKind::Text, "Candb "},
    {"progressBar", "QProgressBar", "centralwidget", {20, 240, 281, 21}, TextKind::None, ""},
    {"speed1",
     "QTextEdit",
     "centralwidget",
     {340, 40, 91, 31},
     TextKind::Placeholder,
     "CAN speed 1"},
    {"LogButt", "QPushButton", "centralwidget", {240, 30, 61, 41}, TextKind::Text, "Log"},
    {"Generator",
     "QPushButton",
     "centralwidget",
     {430, 230, 101, 41},
     TextKind::Text,
     "Config Generator"},
    {"label", "QLabel", "centralwidget", {370, 70, 49, 16}, TextKind::Text, "Mode1"},
    {"label_2", "QLabel", "centralwidget", {460, 70, 49, 16}, TextKind::Text, "Mode2"},
    {"Nor1", "QCheckBox", "centralwidget", {350, 90, 76, 20}, TextKind::Text, "Nor"},
    {"Sil1", "QCheckBox", "centralwidget", {390, 90, 76, 20}, TextKind::Text, "Sil"},
    {"Nor2", "QCheckBox", "centralwidget", {450, 90, 76, 20}, TextKind::Text, "Nor"},
    {"Sil2", "QCheckBox", "centralwidget", {490, 90, 76, 20}, TextKind::Text, "Sil"},
    {"label_3", "QLabel", "centralwidget", {130, 0, 49, 16}, TextKind::Text, "Decoder"},
    {"label_4", "QLabel", "centralwidget", {340, 20, 49, 16}, TextKind::Text, "Can1"},
    {"label_5", "QLabel", "centralwidget", {440, 20, 49, 16}, TextKind::Text, "Can2"},
    {"En1", "QCheckBox", "centralwidget", {390, 20, 76, 20}, TextKind::Text, "En1"},
    {"En2", "QCheckBox", "centralwidget", {490, 20, 76, 20}, TextKind::Text, "En2"},
    {"Filter1", "QPushButton", "centralwidget", {340, 120, 91, 21}, TextKind::Text, "Filter1"},
    {"Filter2", "QPushButton", "centralwidget", {440, 120, 91, 21}, TextKind::Text, "FIlter2"},
    {"back", "QWidget", "centralwidget", {-10, -40, 560, 320}, TextKind::None, ""},
    {"lm_2", "QLabel", "back", {30, 220, 121, 20}, TextKind::Text, "Conv. frequency"},
    {"label_6", "QLabel", "back", {410, 40, 91, 16}, TextKind::Text, "Configurator"},
    {"label_7", "QLabel", "back", {430, 180, 91, 16}, TextKind::Text, "Trigger"},
    {"logor", "QWidget", "centralwidget", {30, 270, 500, 30}, TextKind::None, ""},
    {"Convert", "QPushButton", "centralwidget", {180, 190, 81, 41}, TextKind::Text, "Convert"},
    {"ConvFreq",
     "QTextEdit",
     "centralwidget",
     {20, 200, 71, 31},
     TextKind::Placeholder,
     "hz(1-10000)"},
    {"outputpath",
     "QTextEdit",
     "centralwidget",
     {20, 130, 110, 41},
     TextKind::Placeholder,
     "Paste Output Path or use button"},
    {"OutputButt", "QPushButton", "centralwidget", {140, 130, 61, 41}, TextKind::Text, "Output"},
    {"FIleName",
     "QTextEdit",
     "centralwidget",
     {220, 130, 81, 41},
     TextKind::Placeholder,
     "File Name"},
    {"sfondox", "QWidget", "centralwidget", {340, 158, 191, 27}, TextKind::None, ""},
    {"TrigAlways", "QCheckBox", "sfondox", {10, 5, 61, 20}, TextKind::Text, "Always"},
    {"TrigID", "QCheckBox", "sfondox", {80, 5, 51, 20}, TextKind::Text, "ID"},
    {"TrigSig", "QCheckBox", "sfondox", {140, 5, 51, 20}, TextKind::Text, "Sig"},
    {"TrigIDW", "QWidget", "centralwidget", {330, 180, 201, 51}, TextKind::None, ""},
    {"idTrig",
     "QTextEdit",
     "TrigIDW",
     {10, 10, 81, 31},
     TextKind::FixedPlaceholder,
     "ID Trig (Dec)"},
    {"TrigStd", "QCheckBox", "TrigIDW", {100, 20, 41, 20}, TextKind::Text, "Std"},
    {"TrigExt", "QCheckBox", "TrigIDW", {150, 20, 41, 20}, TextKind::Text, "Ext"},
    {"TrigSigW", "QWidget", "centralwidget", {330, 180, 201, 51}, TextKind::None, ""},
    {"comboBox", "QComboBox", "TrigSigW", {10, 10, 101, 31}, TextKind::None, ""},
    {"valueTrig", "QTextEdit", "TrigSigW", {150, 10, 51, 31}, TextKind::FixedPlaceholder, "Value"},
    {"operation", "QComboBox", "TrigSigW", {110, 10, 41, 31}, TextKind::None, ""},
    {"smart", "QCheckBox", "centralwidget", {110, 210, 76, 20}, TextKind::Text, "Smart"},
    {"widget", "QWidget", "centralwidget", {330, 120, 221, 151}, TextKind::None, ""},
    {"IdHigh_1", "QTextEdit", "widget", {20, 30, 71, 31}, TextKind::FixedPlaceholder, "IdHigh"},
    {"IdLow_1", "QTextEdit", "widget", {120, 30, 71, 31}, TextKind::FixedPlaceholder, "IdLow"},
    {"label_8", "QLabel", "widget", {80, 0, 49, 16}, TextKind::Text, "FilterID"},
    {"label_9", "QLabel", "widget", {70, 60, 71, 16}, TextKind::Text, "FilterMaskID"},
    {"MIdHigh_1", "QTextEdit", "widget", {20, 90, 71, 31}, TextKind::FixedPlaceholder, "MIdHigh"},
    {"MIdLow_1", "QTextEdit", "widget", {120, 90, 71, 31}, TextKind::FixedPlaceholder, "MIdLow"},
    {"label_16", "QLabel", "widget", {200, 0, 49, 16}, TextKind::Text, "#1"},
    {"okfilter_1", "QPushButton", "widget", {140, 126, 51, 21}, TextKind::Text, "Ok"},
    {"label_10", "QLabel", "widget", {20, 10, 49, 16}, TextKind::Text, "IdHigh"},
    {"label_11", "QLabel", "widget", {20, 70, 49, 16}, TextKind::Text, "MIdHigh"},
    {"label_12", "QLabel", "widget", {140, 70, 49, 16}, TextKind::Text, "MIdLow"},
    {"label_13", "QLabel", "widget", {150, 10, 49, 16}, TextKind::Text, "IdLow"},
    {"Mask_1", "QCheckBox", "widget", {20, 126, 51, 20}, TextKind::Text, "Mask"},
    {"List_1", "QCheckBox", "widget", {80, 126, 41, 20}, TextKind::Text, "List"},
    {"widget_2", "QWidget", "centralwidget", {330, 120, 221, 151}, TextKind::None, ""},
    {"IdHigh_2", "QTextEdit", "widget_2", {20, 30, 71, 31}, TextKind::FixedPlaceholder, "IdHigh"},
    {"IdLow_2", "QTextEdit", "widget_2", {120, 30, 71, 31}, TextKind::FixedPlaceholder, "IdLow"},
    {"MIdHigh_2", "QTextEdit", "widget_2", {20, 90, 71, 31}, TextKind::FixedPlaceholder, "MIdHigh"},
    {"MIdLow_2", "QTextEdit", "widget_2", {120, 90, 71, 31}, TextKind::FixedPlaceholder, "MIdLow"},
    {"label_17", "QLabel", "widget_2", {200, 0, 49, 16}, TextKind::Text, "#2"},
    {"label_21", "QLabel", "widget_2", {20, 10, 49, 16}, TextKind::Text, "IdHigh"},
    {"label_19", "QLabel", "widget_2", {150, 10, 49, 16}, TextKind::Text, "IdLow"},
    {"label_20", "QLabel", "widget_2", {80, 0, 49, 16}, TextKind::Text, "FilterID"},
    {"label_15", "QLabel", "widget_2", {140, 70, 49, 16}, TextKind::Text, "MIdLow"},
    {"label_18", "QLabel", "widget_2", {70, 60, 71, 16}, TextKind::Text, "FilterMaskID"},
    {"label_14", "QLabel", "widget_2", {20, 70, 49, 16}, TextKind::Text, "MIdHigh"},
    {"okfilter_2", "QPushButton", "widget_2", {140, 126, 51, 21}, TextKind::Text, "Ok"},
    {"Mask_2", "QCheckBox", "widget_2", {20, 126, 51, 20}, TextKind::Text, "Mask"},
    {"List_2", "QCheckBox", "widget_2", {80, 126, 41, 20}, TextKind::Text, "List"},
    {"menubar", "QMenuBar", "MainWindow", {0, 0, 717, 22}, TextKind::None, ""},
    {"statusbar", "QStatusBar", "MainWindow", {}, TextKind::None, ""},
};

// Bottom to top.
const char *const kStacking[] = {
    "back",        "sfondox",  "dbcpath", "logpath",   "outPath", "speed2",   "dbcButt",
    "progressBar", "speed1",   "LogButt", "Generator", "label",   "label_2",  "Nor1",
    "Sil1",        "Nor2",     "Sil2",    "label_3",   "label_4", "label_5",  "En1",
    "En2",         "Filter1",  "Filter2", "logor",     "Convert", "ConvFreq", "outputpath",
    "OutputButt",  "FIleName", "TrigIDW", "TrigSigW",  "smart",   "widget_2", "widget"};

QString shownText(const QWidget *widget, TextKind kind)
{
    if (kind == TextKind::Text)
        return widget->property("text").toString();
    return widget->property("placeholderText").toString();
}

// Marks every text it is asked for, so a test sees which texts go through translation.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *disambiguation,
                      int n) const override
    {
        if (QByteArray(context) != "MainWindow" || disambiguation || n != -1)
            return QString();
        return QString("<%1>").arg(QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class MainForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowLevel();
    void widgetsMatchTheForm_data();
    void widgetsMatchTheForm();
    void formHasNoOtherNamedWidgets();
    void focusChainFollowsCreationOrder();
    void stackingOrderOfTheCentralWidget();
    void panelsShareOneRectangleWithTheFirstOnTop();
    void everyWidgetStartsVisibleEnabledAndEmpty();
    void explicitSettingsThatKeepQtDefaults();
    void onlyOutputPathHasItsOwnFont();
    void nothingElseIsStyled();
    void secondPanelPalette_data();
    void secondPanelPalette();
    void translatableTextsGoThroughTranslation();
    void retranslatingRestoresTextsAndKeepsTheRest();
    void existingWindowNameIsKept();

private:
    QWidget *named(const char *name) const;

    QMainWindow *window = nullptr;
    Ui::MainWindow *ui = nullptr;
};

void MainForm::init()
{
    window = new QMainWindow;
    ui = new Ui::MainWindow;
    ui->setupUi(window);
}

void MainForm::cleanup()
{
    delete ui;
    delete window;
}

QWidget *MainForm::named(const char *name) const
{
    if (QByteArray(name) == "MainWindow")
        return window;
    return window->findChild<QWidget *>(name);
}

void MainForm::windowLevel()
{
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QCOMPARE(window->size(), QSize(717, 513));
    QCOMPARE(window->windowTitle(), QString("MainWindow"));
    QVERIFY(!window->isAnimated());
    QCOMPARE(window->centralWidget(), ui->centralwidget);
    QCOMPARE(window->menuBar(), ui->menubar);
    QVERIFY(ui->menubar->actions().isEmpty());
    QCOMPARE(window->statusBar(), ui->statusbar);
    QVERIFY(ui->statusbar->currentMessage().isEmpty());
}

void MainForm::widgetsMatchTheForm_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    for (const FormWidget &w : kForm)
        QTest::newRow(w.name) << w.className << w.parent << w.geometry << int(w.kind) << w.text;
}

void MainForm::widgetsMatchTheForm()
{
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(int, kind);
    QFETCH(QString, text);

    QWidget *widget = named(QTest::currentDataTag());
    QVERIFY2(widget, "no widget of that exact object name");
    QCOMPARE(QString(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget(), named(qPrintable(parent)));
    if (geometry.isValid())
        QCOMPARE(widget->geometry(), geometry);
    if (TextKind(kind) != TextKind::None)
        QCOMPARE(shownText(widget, TextKind(kind)), text);
}

// The slots are bound by object name, so a stray or misspelt name is a real fault.
void MainForm::formHasNoOtherNamedWidgets()
{
    QStringList expected;
    for (const FormWidget &w : kForm)
        expected << w.name;
    QStringList found;
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            found << widget->objectName();
    }
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);
}

// The form sets no tab order, so the keyboard walks the widgets in creation order.
void MainForm::focusChainFollowsCreationOrder()
{
    QStringList expected;
    for (const FormWidget &w : kForm)
        expected << w.name;
    QStringList chain;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
    }
    QCOMPARE(chain, expected);
}

void MainForm::stackingOrderOfTheCentralWidget()
{
    QStringList expected;
    for (const char *name : kStacking)
        expected << name;
    QStringList stack;
    for (const QObject *child : ui->centralwidget->children()) {
        if (child->isWidgetType())
            stack << child->objectName();
    }
    QCOMPARE(stack, expected);
}

// Where the two filter panels overlap the first covers the second, and the background panel
// lies under everything.
void MainForm::panelsShareOneRectangleWithTheFirstOnTop()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(ui->centralwidget->childAt(335, 125), ui->widget);
    ui->widget->hide();
    QCOMPARE(ui->centralwidget->childAt(335, 125), ui->widget_2);
    ui->widget_2->hide();
    QCOMPARE(ui->centralwidget->childAt(335, 185), ui->TrigSigW);
    ui->TrigSigW->hide();
    QCOMPARE(ui->centralwidget->childAt(335, 185), ui->TrigIDW);
    QCOMPARE(ui->centralwidget->childAt(5, 5), ui->back);
}

void MainForm::everyWidgetStartsVisibleEnabledAndEmpty()
{
    for (const FormWidget &w : kForm) {
        QWidget *widget = named(w.name);
        QVERIFY2(!widget->isHidden() && widget->isEnabled(), w.name);
        if (auto *box = qobject_cast<QCheckBox *>(widget))
            QVERIFY2(!box->isChecked(), w.name);
        if (auto *field = qobject_cast<QTextEdit *>(widget))
            QVERIFY2(field->toPlainText().isEmpty(), w.name);
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            QVERIFY2(combo->count() == 0, w.name);
    }
    QCOMPARE(ui->progressBar->value(), 0);
    QCOMPARE(ui->progressBar->minimum(), 0);
    QCOMPARE(ui->progressBar->maximum(), 100);
}

void MainForm::explicitSettingsThatKeepQtDefaults()
{
    QVERIFY(ui->Filter1->isEnabled());
    QVERIFY(!ui->Filter1->autoFillBackground());
    QVERIFY(ui->TrigIDW->isEnabled());
    QVERIFY(ui->widget->autoFillBackground());
    QVERIFY(ui->widget_2->autoFillBackground());
}

void MainForm::onlyOutputPathHasItsOwnFont()
{
    QCOMPARE(ui->outputpath->font().pointSize(), 9);
    QCOMPARE(ui->outputpath->font().family(), QApplication::font().family());
    for (const FormWidget &w : kForm) {
        if (QByteArray(w.name) != "outputpath")
            QVERIFY2(!named(w.name)->testAttribute(Qt::WA_SetFont), w.name);
    }
}

void MainForm::nothingElseIsStyled()
{
    for (const FormWidget &w : kForm) {
        const QWidget *widget = named(w.name);
        QVERIFY2(widget->styleSheet().isEmpty(), w.name);
        QVERIFY2(widget->toolTip().isEmpty(), w.name);
        QVERIFY2(widget->statusTip().isEmpty(), w.name);
        QVERIFY2(widget->minimumSize() == QSize(0, 0), w.name);
        QVERIFY2(widget->maximumSize() == QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), w.name);
        if (QByteArray(w.name) != "widget_2")
            QVERIFY2(!widget->testAttribute(Qt::WA_SetPalette), w.name);
    }
}

void MainForm::secondPanelPalette_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("active");
    QTest::addColumn<QColor>("inactive");
    QTest::addColumn<QColor>("disabled");
    const auto grey = [](int v) { return QColor(v, v, v); };
    QTest::newRow("WindowText") << int(QPalette::WindowText) << grey(0) << grey(0) << grey(119);
    QTest::newRow("Button") << int(QPalette::Button) << grey(238) << grey(240) << grey(238);
    QTest::newRow("Light") << int(QPalette::Light) << grey(255) << grey(255) << grey(255);
    QTest::newRow("Midlight") << int(QPalette::Midlight) << grey(246) << grey(227) << grey(246);
    QTest::newRow("Dark") << int(QPalette::Dark) << grey(119) << grey(160) << grey(119);
    QTest::newRow("Mid") << int(QPalette::Mid) << grey(159) << grey(160) << grey(159);
    QTest::newRow("Text") << int(QPalette::Text) << grey(0) << grey(0) << grey(119);
    QTest::newRow("BrightText") << int(QPalette::BrightText) << grey(255) << grey(255) << grey(255);
    QTest::newRow("ButtonText") << int(QPalette::ButtonText) << grey(0) << grey(0) << grey(119);
    QTest::newRow("Base") << int(QPalette::Base) << grey(255) << grey(255) << grey(238);
    QTest::newRow("Window") << int(QPalette::Window) << grey(238) << grey(240) << grey(238);
    QTest::newRow("Shadow") << int(QPalette::Shadow) << grey(0) << grey(105) << grey(0);
    QTest::newRow("AlternateBase")
        << int(QPalette::AlternateBase) << grey(246) << grey(245) << grey(245);
    const QColor tipBase(255, 255, 220);
    QTest::newRow("ToolTipBase") << int(QPalette::ToolTipBase) << tipBase << tipBase << tipBase;
    QTest::newRow("ToolTipText") << int(QPalette::ToolTipText) << grey(0) << grey(0) << grey(0);
    QTest::newRow("PlaceholderText") << int(QPalette::PlaceholderText) << QColor(0, 0, 0, 127)
                                     << QColor(0, 0, 0, 128) << QColor(0, 0, 0, 128);
}

void MainForm::secondPanelPalette()
{
    QFETCH(int, role);
    QFETCH(QColor, active);
    QFETCH(QColor, inactive);
    QFETCH(QColor, disabled);
    const QPalette palette = ui->widget_2->palette();
    const auto brush = [&](QPalette::ColorGroup group) {
        return palette.brush(group, QPalette::ColorRole(role));
    };
    QCOMPARE(brush(QPalette::Active).color(), active);
    QCOMPARE(brush(QPalette::Inactive).color(), inactive);
    QCOMPARE(brush(QPalette::Disabled).color(), disabled);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(brush(group).style(), Qt::SolidPattern);
        QVERIFY(palette.isBrushSet(group, QPalette::ColorRole(role)));
    }
}

void MainForm::translatableTextsGoThroughTranslation()
{
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    ui->retranslateUi(window);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(window->windowTitle(), QString("<MainWindow>"));
    for (const FormWidget &w : kForm) {
        if (w.kind == TextKind::None)
            continue;
        const bool translatable = w.kind != TextKind::FixedPlaceholder;
        const QString expected = translatable ? QString("<%1>").arg(w.text) : QString(w.text);
        QCOMPARE(shownText(named(w.name), w.kind), expected);
    }
}

void MainForm::retranslatingRestoresTextsAndKeepsTheRest()
{
    ui->label_3->setText("changed");
    ui->Convert->setText("changed");
    ui->logpath->setPlaceholderText("changed");
    window->setWindowTitle("changed");
    ui->dbcpath->setPlaceholderText("typed over");
    ui->En1->setChecked(true);
    ui->FIleName->setPlainText("out.csv");
    ui->Generator->setGeometry(1, 2, 3, 4);
    ui->widget->hide();

    ui->retranslateUi(window);

    QCOMPARE(ui->label_3->text(), QString("Decoder"));
    QCOMPARE(ui->Convert->text(), QString("Convert"));
    QCOMPARE(ui->logpath->placeholderText(), QString("Paste Log FIle Path or use button"));
    QCOMPARE(window->windowTitle(), QString("MainWindow"));
    QCOMPARE(ui->dbcpath->placeholderText(), QString("typed over"));
    QVERIFY(ui->En1->isChecked());
    QCOMPARE(ui->FIleName->toPlainText(), QString("out.csv"));
    QCOMPARE(ui->Generator->geometry(), QRect(1, 2, 3, 4));
    QVERIFY(ui->widget->isHidden());
}

void MainForm::existingWindowNameIsKept()
{
    QMainWindow named;
    named.setObjectName("Custom");
    Ui::MainWindow form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QString("Custom"));
}

QTEST_MAIN(MainForm)
#include "tst_mainform.moc"
