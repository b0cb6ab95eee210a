#pragma once

#include "database/candb.h"
#include "files/progress.h"
#include "log/logsummary.h"
#include "openrequest.h"
#include "plot/plotdata.h"
#include "plot/signalseries.h"
#include "signalcatalog.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A log with its database, or a table, as the viewer holds it once opened: what the tree lists,
// and what is needed to read signals out of it later. Nothing of the file's values is kept here.
struct OpenedFile
{
    OpenRequest request;
    std::string readPath; // the .qvl or .csv read, in the file system's encoding
    // A candump or ASC log is read from a .qvl made of it in the system's temporary folder.
    std::shared_ptr<const void> imported;
    std::optional<Candb> candb;        // a log's
    std::vector<SignalChoice> choices; // a log's signals by catalog index
    std::optional<LogSummary> summary; // a log's
    SignalCatalog catalog;
    uint64_t frames = 0;  // a log's records or a table's rows
    TimeRange extent;     // first to last time, in seconds
    QStringList warnings; // told to the user, but the file is open

    QString name(size_t index) const;
};

// Opening ends in a file, a fault that names the file, or nothing when cancelled.
struct OpenOutcome
{
    std::shared_ptr<const OpenedFile> file;
    QString problem;
};

// Why the file asked for cannot be opened at all, naming it: missing, no regular file, or of a
// kind the viewer does not read. Empty when it may be tried.
QString requestProblem(const OpenRequest &request);

// Reads the request's files: the database, then one pass over the log (or the table) for the
// frames of each message and its time extent. Runs on a worker thread.
OpenOutcome openFile(const OpenRequest &request, const Progress &progress);

// Signals read out of an opened file, in the order asked, or the fault; nothing when cancelled.
struct SeriesOutcome
{
    std::vector<SignalSeries> series;
    QString problem;
};
SeriesOutcome readSeries(const OpenedFile &file, const std::vector<size_t> &indexes,
                         const Progress &progress);
