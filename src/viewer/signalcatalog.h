#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What the viewer can plot of an opened file, as the tree lists it: a log's messages with their
// signals, or a table's columns.

struct CatalogSignal
{
    QString name;
    QString unit;     // empty when the database gives none
    size_t index = 0; // how the engine names the signal: a database signal or a table column
};

struct CatalogMessage
{
    QString name;        // empty when the database names none
    uint32_t id = 0;     // bit 31 set for an extended identifier
    uint64_t frames = 0; // in this log
    double rate = 0;     // frames per second over the log's duration
    std::vector<CatalogSignal> signalList;
};

struct SignalCatalog
{
    std::vector<CatalogMessage> messages; // a log's
    std::vector<CatalogSignal> columns;   // a table's

    const CatalogSignal *find(size_t index) const;
    // The first signal of that name.
    std::optional<size_t> indexOf(const QString &name) const;
};
