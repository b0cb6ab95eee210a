#include "triggerlist.h"

#include "candecoder.h"
#include "config/configgeneration.h"
#include "database/candb.h"
#include "ui_mainwindow.h"

Signal listedSignal(const QString &name)
{
    const auto entry = mp.find(name.toStdString());
    return entry == mp.end() ? Signal{} : entry->second;
}

void GenerateList(json jsonObject, Ui::MainWindow *ui)
{
    // The window only hands over databases it has accepted; should another caller pass a bad one,
    // the earlier list is kept rather than replaced by part of this one.
    const Candb candb = readCandb(jsonObject);
    if (!candb.ok())
        return;

    QComboBox *list = ui->comboBox;
    list->clear();
    list->blockSignals(true);
    // One item per signal read, even for a name that several messages define.
    for (const CandbMessage &message : candb.messages) {
        for (const Signal &sig : message.signalList)
            list->addItem(QObject::tr(sig.name.c_str()));
    }
    mp = signalsByName(candb);
    list->blockSignals(false);
    list->model()->sort(0, Qt::AscendingOrder);
    list->setCurrentIndex(0);
    // An empty list selects no signal, so no trigger is ever written on a signal it does not show.
    selTrigSig = listedSignal(list->currentText());
}
