// Every user action reaches its slot through the form's binding by object name.
#include "mainwindow.h"

#include <QMetaMethod>
#include <QTest>

namespace {

struct Binding
{
    const char *slot;
    const char *widget;
    const char *signal;
};

// In the order of the window's slot table: the order is each slot's method index.
const Binding kBindings[] = {
    {"on_Nor1_clicked()", "Nor1", "clicked(bool)"},
    {"on_Sil1_clicked()", "Sil1", "clicked(bool)"},
    {"on_Nor2_clicked()", "Nor2", "clicked(bool)"},
    {"on_Sil2_clicked()", "Sil2", "clicked(bool)"},
    {"on_En1_clicked()", "En1", "clicked(bool)"},
    {"on_En2_clicked()", "En2", "clicked(bool)"},
    {"on_outPath_clicked()", "outPath", "clicked(bool)"},
    {"on_Generator_clicked()", "Generator", "clicked(bool)"},
    {"on_LogButt_clicked()", "LogButt", "clicked(bool)"},
    {"on_dbcButt_clicked()", "dbcButt", "clicked(bool)"},
    {"on_OutputButt_clicked()", "OutputButt", "clicked(bool)"},
    {"on_Convert_clicked()", "Convert", "clicked(bool)"},
    {"on_logpath_textChanged()", "logpath", "textChanged()"},
    {"on_dbcpath_textChanged()", "dbcpath", "textChanged()"},
    {"on_outputpath_textChanged()", "outputpath", "textChanged()"},
    {"on_FIleName_textChanged()", "FIleName", "textChanged()"},
    {"on_comboBox_activated(int)", "comboBox", "activated(int)"},
    {"on_TrigAlways_clicked()", "TrigAlways", "clicked(bool)"},
    {"on_TrigID_clicked()", "TrigID", "clicked(bool)"},
    {"on_TrigSig_clicked()", "TrigSig", "clicked(bool)"},
    {"on_comboBox_currentTextChanged(QString)", "comboBox", "currentTextChanged(QString)"},
    {"on_TrigExt_clicked()", "TrigExt", "clicked(bool)"},
    {"on_TrigStd_clicked()", "TrigStd", "clicked(bool)"},
    {"on_operation_currentIndexChanged(int)", "operation", "currentIndexChanged(int)"},
    {"on_okfilter_1_clicked()", "okfilter_1", "clicked(bool)"},
    {"on_okfilter_2_clicked()", "okfilter_2", "clicked(bool)"},
    {"on_Filter1_clicked()", "Filter1", "clicked(bool)"},
    {"on_Filter2_clicked()", "Filter2", "clicked(bool)"},
    {"on_Mask_1_clicked()", "Mask_1", "clicked(bool)"},
    {"on_List_1_clicked()", "List_1", "clicked(bool)"},
    {"on_Mask_2_clicked()", "Mask_2", "clicked(bool)"},
    {"on_List_2_clicked()", "List_2", "clicked(bool)"},
};

} // namespace

class SlotBinding : public QObject
{
    Q_OBJECT

private slots:
    void windowDeclaresExactlyTheTableSlots();
    void slotHasItsIndex_data();
    void slotHasItsIndex();
    void slotIsBoundToItsWidgetSignal_data();
    void slotIsBoundToItsWidgetSignal();
    void windowIsAMainWindowOfItsOwnClass();
};

void SlotBinding::windowDeclaresExactlyTheTableSlots()
{
    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.methodCount() - meta.methodOffset(), int(std::size(kBindings)));
}

void SlotBinding::slotHasItsIndex_data()
{
    QTest::addColumn<int>("index");
    int index = 0;
    for (const Binding &b : kBindings)
        QTest::newRow(b.slot) << index++;
}

void SlotBinding::slotHasItsIndex()
{
    QFETCH(int, index);
    const QMetaObject &meta = MainWindow::staticMetaObject;
    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), QByteArray(QTest::currentDataTag()));
    QCOMPARE(method.methodType(), QMetaMethod::Slot);
    QCOMPARE(method.access(), QMetaMethod::Private);
    QCOMPARE(method.returnType(), int(QMetaType::Void));
}

void SlotBinding::slotIsBoundToItsWidgetSignal_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("signal");
    for (const Binding &b : kBindings)
        QTest::newRow(b.slot) << b.widget << QByteArray(b.signal);
}

// A connection made by name is found, and removed, by disconnecting exactly that pair; a second
// disconnect finds nothing, so each slot is bound once.
void SlotBinding::slotIsBoundToItsWidgetSignal()
{
    QFETCH(QString, widget);
    QFETCH(QByteArray, signal);
    MainWindow window;
    QObject *sender = window.findChild<QObject *>(widget);
    QVERIFY(sender);
    const QMetaMethod emitted =
        sender->metaObject()->method(sender->metaObject()->indexOfSignal(signal));
    const QMetaMethod slot =
        window.metaObject()->method(window.metaObject()->indexOfSlot(QTest::currentDataTag()));
    QVERIFY(emitted.isValid());
    QVERIFY(slot.isValid());
    QVERIFY(QObject::disconnect(sender, emitted, &window, slot));
    QVERIFY(!QObject::disconnect(sender, emitted, &window, slot));
}

void SlotBinding::windowIsAMainWindowOfItsOwnClass()
{
    MainWindow window;
    QCOMPARE(window.metaObject()->className(), "MainWindow");
    QCOMPARE(window.metaObject()->superClass(), &QMainWindow::staticMetaObject);
    QVERIFY(window.qt_metacast("MainWindow"));
    QVERIFY(!window.parent());
}

QTEST_MAIN(SlotBinding)
#include "tst_slotbinding.moc"
