#include "openrequest.h"

#include <QObject>

bool OpenRequest::isTable() const
{
    return isTablePath(file);
}

bool isTablePath(const QString &path)
{
    return path.endsWith(".csv", Qt::CaseInsensitive);
}

bool isDatabasePath(const QString &path)
{
    return path.endsWith(".json", Qt::CaseInsensitive) ||
           path.endsWith(".dbc", Qt::CaseInsensitive);
}

OpenRequest requestOfFiles(const QStringList &paths)
{
    OpenRequest request;
    for (const QString &path : paths) {
        if (isDatabasePath(path))
            request.database = path;
        else if (request.file.isEmpty())
            request.file = path;
    }
    return request;
}

QString openFilters()
{
    return QObject::tr("Logs and tables (*.qvl *.log *.asc *.csv);;Logger logs (*.qvl);;"
                       "candump logs (*.log);;ASC logs (*.asc);;Tables (*.csv);;All files (*)");
}

QString databaseFilters()
{
    return QObject::tr("Signal databases (*.json *.dbc);;All files (*)");
}
