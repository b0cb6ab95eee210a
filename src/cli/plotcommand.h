#pragma once

#include <QStringList>

// quorvane-cli plot TABLE.csv -o OUT.png|OUT.svg: step plots of a table's signals.
//
// Drawing text needs fonts, and so Qt Gui with a QGuiApplication. The command therefore runs in a
// program of its own, quorvane-cli-plot, beside quorvane-cli: every other command starts on Qt
// Core alone, without loading the graphics libraries.
constexpr char kPlotCommandName[] = "plot";
constexpr char kPlotProgramName[] = "quorvane-cli-plot";

// The command itself, in quorvane-cli-plot.
int runPlot(const QStringList &arguments);
// Hands the command over to quorvane-cli-plot; returns only when it cannot be started.
int startPlotProgram(const QStringList &arguments);
