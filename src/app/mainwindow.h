#pragma once

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

// The one window: the Decoder area on the left, the Configurator area on the right. Every slot
// is bound to its widget by name when the form is set up.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow();

private slots:
    void on_Nor1_clicked();
    void on_Sil1_clicked();
    void on_Nor2_clicked();
    void on_Sil2_clicked();
    void on_En1_clicked();
    void on_En2_clicked();
    void on_outPath_clicked();
    void on_Generator_clicked();
    void on_LogButt_clicked();
    void on_dbcButt_clicked();
    void on_OutputButt_clicked();
    void on_Convert_clicked();
    void on_logpath_textChanged();
    void on_dbcpath_textChanged();
    void on_outputpath_textChanged();
    void on_FIleName_textChanged();
    void on_comboBox_activated(int index);
    void on_TrigAlways_clicked();
    void on_TrigID_clicked();
    void on_TrigSig_clicked();
    void on_comboBox_currentTextChanged(const QString &text);
    void on_TrigExt_clicked();
    void on_TrigStd_clicked();
    void on_operation_currentIndexChanged(int index);
    void on_okfilter_1_clicked();
    void on_okfilter_2_clicked();
    void on_Filter1_clicked();
    void on_Filter2_clicked();
    void on_Mask_1_clicked();
    void on_List_1_clicked();
    void on_Mask_2_clicked();
    void on_List_2_clicked();

private:
    Ui::MainWindow *ui;
};
