#pragma once

#include "openrequest.h"

#include <QList>
#include <QObject>

class QMenu;

// The files opened lately, newest first, and the database last chosen for a log: kept in the
// viewer's settings and offered in File > Recent Files.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    explicit RecentFiles(QMenu *menu, QObject *parent = nullptr);

    void add(const OpenRequest &request);
    QList<OpenRequest> requests() const;
    QString lastDatabase() const;

Q_SIGNALS:
    void chosen(const OpenRequest &request);

private:
    void fillMenu();

    QMenu *menu;
};
