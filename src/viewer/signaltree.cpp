#include "signaltree.h"

#include "corestrings.h"
#include "log/logfile.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column
{
    NameColumn,
    UnitColumn,
    IdentifierColumn,
    FramesColumn,
    RateColumn,
    ColumnCount
};

constexpr int kIndexRole = Qt::UserRole;

// A signal's item, or each signal of a message's item that the filter shows.
void addIndexes(const QTreeWidgetItem *item, std::vector<size_t> &indexes)
{
    const QVariant index = item->data(NameColumn, kIndexRole);
    if (index.isValid()) {
        if (std::find(indexes.begin(), indexes.end(), index.toULongLong()) == indexes.end())
            indexes.push_back(size_t(index.toULongLong()));
        return;
    }
    for (int child = 0; child < item->childCount(); ++child)
        if (!item->child(child)->isHidden())
            addIndexes(item->child(child), indexes);
}

// A tree whose drags carry the indexes of the selected signals; a message carries its signals.
class SignalList : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

protected:
    QStringList mimeTypes() const override { return {SignalTree::kMimeType}; }
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override
    {
        std::vector<size_t> indexes;
        for (const QTreeWidgetItem *item : items)
            addIndexes(item, indexes);
        if (indexes.empty())
            return nullptr;
        auto *data = new QMimeData;
        data->setData(SignalTree::kMimeType, SignalTree::mimeDataOfSignals(indexes));
        return data;
    }
};

QTreeWidgetItem *signalItem(const CatalogSignal &signal)
{
    auto *item = new QTreeWidgetItem({signal.name, signal.unit});
    item->setData(NameColumn, kIndexRole, QVariant::fromValue(qulonglong(signal.index)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    return item;
}

QTreeWidgetItem *messageItem(const CatalogMessage &message)
{
    const QString name = message.name.isEmpty() ? qtText(hexMailboxId(message.id)) : message.name;
    auto *item = new QTreeWidgetItem({name, QString(), qtText(hexMailboxId(message.id)),
                                      QString::number(message.frames),
                                      QString::number(message.rate, 'f', 1)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    for (int column : {FramesColumn, RateColumn})
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    for (const CatalogSignal &signal : message.signalList)
        item->addChild(signalItem(signal));
    return item;
}

bool matches(const QTreeWidgetItem *item, const QString &text)
{
    return item->text(NameColumn).contains(text, Qt::CaseInsensitive);
}

} // namespace

SignalTree::SignalTree(QWidget *parent)
    : QWidget(parent), filter(new QLineEdit), tree(new SignalList)
{
    filter->setPlaceholderText(tr("Filter by name"));
    filter->setClearButtonEnabled(true);
    tree->setColumnCount(ColumnCount);
    tree->setHeaderLabels(
        {tr("Name"), tr("Unit"), tr("Identifier"), tr("Frames"), tr("Rate (Hz)")});
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setDragEnabled(true);
    tree->setDragDropMode(QAbstractItemView::DragOnly);
    tree->setUniformRowHeights(true);
    tree->header()->setStretchLastSection(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(filter);
    layout->addWidget(tree);
    connect(filter, &QLineEdit::textChanged, this, &SignalTree::applyFilter);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        const QVariant index = item->data(NameColumn, kIndexRole);
        if (index.isValid())
            Q_EMIT signalActivated(size_t(index.toULongLong()));
    });
}

void SignalTree::showCatalog(const SignalCatalog &catalog)
{
    tree->clear();
    QList<QTreeWidgetItem *> items;
    for (const CatalogMessage &message : catalog.messages)
        items << messageItem(message);
    for (const CatalogSignal &column : catalog.columns)
        items << signalItem(column);
    tree->addTopLevelItems(items);
    // A table's columns have names alone.
    const bool table = !catalog.columns.empty();
    tree->setRootIsDecorated(!table);
    for (int column : {UnitColumn, IdentifierColumn, FramesColumn, RateColumn})
        tree->setColumnHidden(column, table);
    // The columns fit the signals' names and units too, which are folded away.
    tree->expandAll();
    for (int column = 0; column < ColumnCount; ++column)
        tree->resizeColumnToContents(column);
    tree->collapseAll();
    applyFilter(filter->text());
}

std::vector<size_t> SignalTree::selectedSignals() const
{
    std::vector<size_t> indexes;
    for (const QTreeWidgetItem *item : tree->selectedItems())
        addIndexes(item, indexes);
    return indexes;
}

void SignalTree::selectSignal(size_t index)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const QVariant data = (*it)->data(NameColumn, kIndexRole);
        if (data.isValid() && size_t(data.toULongLong()) == index) {
            tree->setCurrentItem(*it);
            return;
        }
    }
}

void SignalTree::setFilter(const QString &text)
{
    filter->setText(text);
}

// A message stays when its name matches, with all its signals, or when one of its signals does.
void SignalTree::applyFilter(const QString &text)
{
    for (int top = 0; top < tree->topLevelItemCount(); ++top) {
        QTreeWidgetItem *item = tree->topLevelItem(top);
        const bool whole = matches(item, text);
        bool anyChild = false;
        for (int child = 0; child < item->childCount(); ++child) {
            const bool shown = whole || matches(item->child(child), text);
            item->child(child)->setHidden(!shown);
            anyChild = anyChild || shown;
        }
        item->setHidden(!whole && !anyChild);
        item->setExpanded(!text.isEmpty() && anyChild);
    }
}

QByteArray SignalTree::mimeDataOfSignals(const std::vector<size_t> &indexes)
{
    QByteArray data;
    for (size_t index : indexes)
        data += (data.isEmpty() ? "" : ",") + QByteArray::number(qulonglong(index));
    return data;
}

std::vector<size_t> SignalTree::signalsOfMimeData(const QByteArray &data)
{
    std::vector<size_t> indexes;
    for (const QByteArray &word : data.split(',')) {
        bool ok = false;
        const qulonglong index = word.toULongLong(&ok);
        if (ok)
            indexes.push_back(size_t(index));
    }
    return indexes;
}
