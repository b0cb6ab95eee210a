#pragma once

#include "openrequest.h"

#include <QSize>
#include <QStringList>

#include <optional>

// What quorvane-view was started with:
//     quorvane-view [LOG --candb DB | TABLE.csv] [--signals A,B,C] [--range FROM:TO]
//                   [--cursor SECONDS] [--size WxH] [--grab OUT.png]
struct ViewerOptions
{
    OpenRequest request; // empty file: start with an empty window
    QStringList signalNames;
    std::optional<std::pair<double, double>> range;
    std::optional<double> cursor; // pinned there
    std::optional<QSize> size;
    QString grabPath; // empty: stay open for the user
};

// The options, or the usage problem in `problem`; exits itself for --help and --version.
ViewerOptions readViewerOptions(const QStringList &arguments, QString &problem);

// Opens the window with the options: the file, its signals one band each, the range, the size.
// With --grab, renders the window into the PNG and quits: 0 when written, 1 after printing the
// fault on standard error.
int runViewer(const ViewerOptions &options);
