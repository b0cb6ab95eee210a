#pragma once

#include <QStringList>

// quorvane-cli plot TABLE.csv -o OUT.png|OUT.svg: step plots of a table's signals.
int runPlot(const QStringList &arguments);

// The command draws text, which needs fonts, and so a QGuiApplication rather than Qt Core alone.
constexpr char kPlotCommandName[] = "plot";
