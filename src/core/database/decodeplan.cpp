#include "database/decodeplan.h"

#include "database/signalcodec.h"

#include <map>

MessageIndex::MessageIndex(const Candb &candb)
{
    standard.fill(-1);
    // A power of two at least twice the number of messages, so that probes stay short.
    size_t slots = 16;
    otherShift = 32 - 4;
    while (slots < 2 * candb.messages.size()) {
        slots *= 2;
        --otherShift;
    }
    others.resize(slots);

    for (const CandbMessage &message : candb.messages) {
        if (find(message.id) >= 0)
            continue;
        const int32_t entry = static_cast<int32_t>(definitions.size());
        definitions.push_back(&message);
        if (message.id < standard.size())
            standard[message.id] = entry;
        else
            addOther(message.id, entry);
    }
}

void MessageIndex::addOther(uint32_t id, int32_t entry)
{
    size_t slot = slotOf(id);
    while (others[slot].entry >= 0)
        slot = (slot + 1) & (others.size() - 1);
    others[slot] = {id, entry};
}

namespace {

// Column numbers in byte order of the names. Every definition of a message names columns,
// a later definition of an id too, though only the first one is decoded.
std::map<std::string, uint32_t> numberColumns(const Candb &candb, const MessageIndex &index,
                                              const std::vector<bool> *seen)
{
    std::map<std::string, uint32_t> columns;
    for (const CandbMessage &message : candb.messages) {
        if (seen && !(*seen)[index.find(message.id)])
            continue;
        for (const Signal &sig : message.signalList)
            columns.emplace(sig.name, 0);
    }
    uint32_t number = 0;
    for (auto &column : columns)
        column.second = number++;
    return columns;
}

// Only the chosen names that have a column, numbered in the order chosen.
std::map<std::string, uint32_t> chooseColumns(const std::map<std::string, uint32_t> &columns,
                                              const std::vector<std::string> &chosen,
                                              std::vector<std::string> &names)
{
    std::map<std::string, uint32_t> kept;
    for (const std::string &name : chosen) {
        if (columns.count(name) && kept.emplace(name, uint32_t(names.size())).second)
            names.push_back(name);
    }
    return kept;
}

} // namespace

DecodePlan::DecodePlan(const Candb &candb, const MessageIndex &index, const std::vector<bool> *seen,
                       const std::vector<std::string> *chosen)
{
    std::map<std::string, uint32_t> columns = numberColumns(candb, index, seen);
    if (chosen) {
        columns = chooseColumns(columns, *chosen, columnNames);
    } else {
        for (const auto &column : columns)
            columnNames.push_back(column.first);
    }

    messages.resize(index.size());
    std::vector<int> firstEntryOfColumn(columnNames.size(), -1);
    for (size_t entry = 0; entry < index.size(); ++entry) {
        const CandbMessage &definition = index.definition(entry);
        Message &message = messages[entry];
        message.firstStep = static_cast<uint32_t>(stepList.size());
        for (const Signal &sig : definition.signalList) {
            // A signal without a column would be decoded only to be dropped.
            const auto column = columns.find(sig.name);
            if (column == columns.end())
                continue;
            stepList.push_back({FieldCodec::resolve(sig), column->second});
            int &first = firstEntryOfColumn[column->second];
            if (first < 0)
                first = int(entry);
            else if (first != int(entry))
                columnsShared = true;
        }
        message.endStep = static_cast<uint32_t>(stepList.size());
        if (definition.dlc)
            message.bigEndianMask = bigEndianDataMask(frameByteCount(*definition.dlc));
    }
}
