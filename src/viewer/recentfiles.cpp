#include "recentfiles.h"

#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

constexpr int kMostRecent = 10;
constexpr char kListKey[] = "recentFiles";
constexpr char kFileKey[] = "file";
constexpr char kDatabaseKey[] = "database";
constexpr char kLastDatabaseKey[] = "lastDatabase";

void store(const QList<OpenRequest> &requests)
{
    QSettings settings;
    settings.beginWriteArray(kListKey, int(requests.size()));
    for (int row = 0; row < requests.size(); ++row) {
        settings.setArrayIndex(row);
        settings.setValue(kFileKey, requests[row].file);
        settings.setValue(kDatabaseKey, requests[row].database);
    }
    settings.endArray();
}

QString menuText(int row, const OpenRequest &request)
{
    QString text = QString("&%1 %2").arg(row + 1).arg(QFileInfo(request.file).fileName());
    if (!request.database.isEmpty())
        text += QObject::tr(" with %1").arg(QFileInfo(request.database).fileName());
    return text;
}

} // namespace

RecentFiles::RecentFiles(QMenu *menu, QObject *parent) : QObject(parent), menu(menu)
{
    fillMenu();
}

void RecentFiles::add(const OpenRequest &request)
{
    OpenRequest absolute{QFileInfo(request.file).absoluteFilePath(), request.database};
    if (!request.database.isEmpty()) {
        absolute.database = QFileInfo(request.database).absoluteFilePath();
        QSettings().setValue(kLastDatabaseKey, absolute.database);
    }
    QList<OpenRequest> list = requests();
    list.removeAll(absolute);
    list.prepend(absolute);
    store(list.mid(0, kMostRecent));
    fillMenu();
}

QList<OpenRequest> RecentFiles::requests() const
{
    QSettings settings;
    QList<OpenRequest> list;
    const int size = settings.beginReadArray(kListKey);
    for (int row = 0; row < size; ++row) {
        settings.setArrayIndex(row);
        list.append({settings.value(kFileKey).toString(), settings.value(kDatabaseKey).toString()});
    }
    settings.endArray();
    return list;
}

QString RecentFiles::lastDatabase() const
{
    return QSettings().value(kLastDatabaseKey).toString();
}

void RecentFiles::fillMenu()
{
    menu->clear();
    const QList<OpenRequest> list = requests();
    for (int row = 0; row < list.size(); ++row) {
        const OpenRequest request = list[row];
        connect(menu->addAction(menuText(row, request)), &QAction::triggered, this,
                [this, request] { Q_EMIT chosen(request); });
    }
    menu->setEnabled(!list.isEmpty());
}
