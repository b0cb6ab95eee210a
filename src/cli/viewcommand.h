#pragma once

#include <QStringList>

// quorvane-cli view [LOG --candb DB | TABLE.csv] [OPTIONS]: the signals in the viewer's window.
// The viewer is a program of its own, quorvane-view, beside quorvane-cli: the command starts it
// with the same arguments.
constexpr char kViewCommandName[] = "view";
constexpr char kViewProgramName[] = "quorvane-view";

// Hands the command over to quorvane-view; returns only when it cannot be started.
int startViewProgram(const QStringList &arguments);
