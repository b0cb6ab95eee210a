#pragma once

#include "signalcatalog.h"

#include <QWidget>

#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The messages of a log with their signals, or the columns of a table, under a filter field that
// narrows the list by name as one types. A double-click on a signal asks for it to be plotted;
// signals are dragged onto the plot as a list of their indexes.
class SignalTree : public QWidget
{
    Q_OBJECT

public:
    explicit SignalTree(QWidget *parent = nullptr);

    void showCatalog(const SignalCatalog &catalog);
    // The signals selected in the list; a message stands for its signals.
    std::vector<size_t> selectedSignals() const;
    // Makes the signal the selected one, e.g. after it was plotted.
    void selectSignal(size_t index);
    void setFilter(const QString &text);

    // The type of the data a drag of signals carries: their indexes, separated by commas.
    static constexpr char kMimeType[] = "application/x-quorvane-signals";
    static QByteArray mimeDataOfSignals(const std::vector<size_t> &indexes);
    static std::vector<size_t> signalsOfMimeData(const QByteArray &data);

Q_SIGNALS:
    void signalActivated(size_t index);

private:
    void applyFilter(const QString &text);

    QLineEdit *filter;
    QTreeWidget *tree;
};
