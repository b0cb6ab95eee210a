#pragma once

#include "config/configrecord.h"

class QTextEdit;
class QWidget;

// The acceptance-filter panel of one bus: two identifier halves and two mask (or second
// identifier) halves.
struct FilterPanel
{
    QWidget *panel;
    QTextEdit *idHigh;
    QTextEdit *idLow;
    QTextEdit *maskIdHigh;
    QTextEdit *maskIdLow;
};

// "Ok" of a filter panel: checks the four fields in order, reporting each bad one, and stores
// each good value in the bus's record at once. The panel closes only when all four were good.
void confirmFilterPanel(const FilterPanel &filter, Conf &bus);
