#pragma once

#include <QString>
#include <QStringList>

// What the user asks the viewer to open: a log with its signal database, or a table written by
// decode. Paths as the user gave them.
struct OpenRequest
{
    QString file;
    QString database; // a log's Candb (.json) or DBC (.dbc) file; empty for a table

    bool isTable() const;
    bool operator==(const OpenRequest &other) const
    {
        return file == other.file && database == other.database;
    }
};

// The kinds of file the viewer tells apart by name.
bool isTablePath(const QString &path);
bool isDatabasePath(const QString &path);

// Sorts dropped or listed files into a request: the database among them, and the one log or table.
// Empty `file` when none of them is one.
OpenRequest requestOfFiles(const QStringList &paths);

// The file dialog's filters for the files the viewer opens, and for databases.
QString openFilters();
QString databaseFilters();
