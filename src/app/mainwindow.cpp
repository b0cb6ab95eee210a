#include "mainwindow.h"

#include "candbfile.h"
#include "candecoder.h"
#include "filterpanel.h"
#include "triggerlist.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QStatusBar>

namespace {

// Of two boxes that exclude each other exactly one stays checked: a click on the checked one
// moves the check to the other.
void keepOneOfPair(QCheckBox *clicked, QCheckBox *other)
{
    other->setChecked(false);
    if (!clicked->isChecked())
        other->setChecked(true);
}

void enableBusControls(bool enabled, std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}

// "Mask" and "List" of a bus: the clicked one stays checked, even when it already was.
void chooseFilterMode(QCheckBox *chosen, QCheckBox *other, Conf &bus, uint8_t maskMode)
{
    other->setChecked(false);
    chosen->setChecked(true);
    bus.maskMode = maskMode;
}

// Puts a picked path into its field; clearing first makes the field emit textChanged even when
// the same path is picked again.
void setPickedPath(QTextEdit *field, const QString &path)
{
    if (path.isEmpty())
        return;
    field->clear();
    field->setPlainText(path);
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setFixedSize(560, 320);
    statusBar()->setSizeGripEnabled(false);
    ui->back->setStyleSheet("background-image:url(images/foto.png); background-position: top; "
                            "height: 100%; width: 100%;");
    ui->logor->setStyleSheet("background-image:url(images/logor.png); background-position: "
                             "center; height: 100%; width: 100%;");
    for (QCheckBox *box : {ui->Nor1, ui->Nor2, ui->En1, ui->En2, ui->smart})
        box->setChecked(true);
    ui->ConvFreq->setText("100");
    ui->TrigStd->setChecked(true);
    setWindowTitle("Quorvane: Decoder & Configurator");
    ui->TrigAlways->click();
    for (const char *operation : {">", "<", "==", "!=", ">=", "<="})
        ui->operation->addItem(tr(operation));
    for (QTextEdit *field : {ui->MIdHigh_1, ui->MIdLow_1, ui->IdHigh_1, ui->IdLow_1, ui->MIdHigh_2,
                             ui->MIdLow_2, ui->IdHigh_2, ui->IdLow_2})
        field->setPlainText("0");
    ui->widget->setVisible(false);
    ui->widget_2->setVisible(false);
    ui->Mask_1->click();
    ui->Mask_2->click();
}

MainWindow::~MainWindow()
{
    delete ui;
}

// ---- bus controls --------------------------------------------------------------------------

void MainWindow::on_Nor1_clicked()
{
    keepOneOfPair(ui->Nor1, ui->Sil1);
}

void MainWindow::on_Sil1_clicked()
{
    keepOneOfPair(ui->Sil1, ui->Nor1);
}

void MainWindow::on_Nor2_clicked()
{
    keepOneOfPair(ui->Nor2, ui->Sil2);
}

void MainWindow::on_Sil2_clicked()
{
    keepOneOfPair(ui->Sil2, ui->Nor2);
}

void MainWindow::on_En1_clicked()
{
    enableBusControls(ui->En1->isChecked(), {ui->Nor1, ui->Sil1, ui->speed1, ui->Filter1});
}

void MainWindow::on_En2_clicked()
{
    enableBusControls(ui->En2->isChecked(), {ui->Nor2, ui->Sil2, ui->speed2, ui->Filter2});
}

// ---- paths ---------------------------------------------------------------------------------

void MainWindow::on_outPath_clicked()
{
    FilepathConfig = QFileDialog::getExistingDirectory(this, "Get Any File", QString(),
                                                       QFileDialog::ShowDirsOnly);
    if (!FilepathConfig.isEmpty())
        ui->Generator->setEnabled(true);
}

void MainWindow::on_LogButt_clicked()
{
    setPickedPath(ui->logpath, QFileDialog::getOpenFileName(this, "Choose File"));
}

void MainWindow::on_dbcButt_clicked()
{
    setPickedPath(ui->dbcpath, QFileDialog::getOpenFileName(this, "Choose File"));
}

void MainWindow::on_OutputButt_clicked()
{
    setPickedPath(ui->outputpath, QFileDialog::getExistingDirectory(this, "Get Any File", QString(),
                                                                    QFileDialog::ShowDirsOnly));
}

void MainWindow::on_logpath_textChanged()
{
    logstr = ui->logpath->toPlainText();
}

// A new Candb file invalidates the signal trigger: it must be chosen again from the new list.
void MainWindow::on_dbcpath_textChanged()
{
    dbcstr = ui->dbcpath->toPlainText();
    ui->TrigSigW->setVisible(false);
    ui->TrigSig->setChecked(false);
    ui->TrigAlways->setChecked(true);
}

void MainWindow::on_outputpath_textChanged()
{
    outputstr = ui->outputpath->toPlainText();
}

void MainWindow::on_FIleName_textChanged()
{
    OutNamestr = ui->FIleName->toPlainText();
}

// ---- decoder -------------------------------------------------------------------------------

void MainWindow::on_Convert_clicked()
{
    // The field stays editable while the conversion runs.
    const QString candbPath = dbcstr;
    const DatabaseFile candb = loadCandbFile(candbPath);
    // Signals left out are named only once their table is there without them.
    if (candb.ok() && test(*candb.document, ui))
        reportLeftOutSignals(candb, candbPath);
}

// ---- configurator --------------------------------------------------------------------------

void MainWindow::on_Generator_clicked()
{
    configurator(ui);
}

void MainWindow::on_comboBox_activated(int) {}

void MainWindow::on_TrigAlways_clicked()
{
    ui->TrigIDW->setVisible(false);
    ui->TrigSigW->setVisible(false);
    ui->TrigID->setChecked(false);
    ui->TrigSig->setChecked(false);
}

void MainWindow::on_TrigID_clicked()
{
    ui->TrigIDW->setVisible(true);
    ui->TrigSigW->setVisible(false);
    ui->TrigAlways->setChecked(false);
    ui->TrigSig->setChecked(false);
    if (!ui->TrigID->isChecked())
        ui->TrigIDW->setVisible(false);
}

// The list is read anew from the Candb file on every click, even the one that clears "Sig".
void MainWindow::on_TrigSig_clicked()
{
    ui->TrigIDW->setVisible(false);
    ui->TrigSigW->setVisible(true);
    ui->TrigID->setChecked(false);
    ui->TrigAlways->setChecked(false);
    dbcstr = ui->dbcpath->toPlainText();
    if (const DatabaseFile candb = loadCandbFile(dbcstr); candb.ok()) {
        GenerateList(*candb.document, ui);
    } else {
        ui->TrigSigW->setVisible(false);
        ui->TrigSig->setChecked(false);
    }
    if (!ui->TrigSig->isChecked())
        ui->TrigSigW->setVisible(false);
}

// Clearing the list passes an empty text; the chosen signal then stays as it was.
void MainWindow::on_comboBox_currentTextChanged(const QString &text)
{
    if (!text.isEmpty())
        selTrigSig = listedSignal(text);
}

void MainWindow::on_TrigExt_clicked()
{
    keepOneOfPair(ui->TrigExt, ui->TrigStd);
}

void MainWindow::on_TrigStd_clicked()
{
    keepOneOfPair(ui->TrigStd, ui->TrigExt);
}

void MainWindow::on_operation_currentIndexChanged(int index)
{
    oper = static_cast<uint8_t>(index);
}

// ---- acceptance filters --------------------------------------------------------------------

void MainWindow::on_okfilter_1_clicked()
{
    confirmFilterPanel({ui->widget, ui->IdHigh_1, ui->IdLow_1, ui->MIdHigh_1, ui->MIdLow_1},
                       canSet.conf[0]);
}

void MainWindow::on_okfilter_2_clicked()
{
    confirmFilterPanel({ui->widget_2, ui->IdHigh_2, ui->IdLow_2, ui->MIdHigh_2, ui->MIdLow_2},
                       canSet.conf[1]);
}

void MainWindow::on_Filter1_clicked()
{
    ui->widget->setVisible(true);
}

void MainWindow::on_Filter2_clicked()
{
    ui->widget_2->setVisible(true);
}

void MainWindow::on_Mask_1_clicked()
{
    chooseFilterMode(ui->Mask_1, ui->List_1, canSet.conf[0], 0);
}

void MainWindow::on_List_1_clicked()
{
    chooseFilterMode(ui->List_1, ui->Mask_1, canSet.conf[0], 1);
}

void MainWindow::on_Mask_2_clicked()
{
    chooseFilterMode(ui->Mask_2, ui->List_2, canSet.conf[1], 0);
}

void MainWindow::on_List_2_clicked()
{
    chooseFilterMode(ui->List_2, ui->Mask_2, canSet.conf[1], 1);
}
