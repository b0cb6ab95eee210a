#pragma once

#include "database/candb.h"
#include "database/fieldcodec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Finds the message of a frame identifier with one table look-up for standard identifiers and
// a small hash table for the others. Each distinct "id" of the Candb file has one entry,
// numbered in the order the ids first occur in the file; the first definition of an id is the
// one that decodes it.
class MessageIndex
{
public:
    explicit MessageIndex(const Candb &candb);

    // The entry of `id`, or -1 when the Candb file has no message with that id.
    int find(uint32_t id) const
    {
        if (id < standard.size())
            return standard[id];
        return findOther(id);
    }
    size_t size() const { return definitions.size(); }
    // The message that decodes entry `entry`: its first definition in the file.
    const CandbMessage &definition(size_t entry) const { return *definitions[entry]; }

private:
    struct Slot
    {
        uint32_t id = 0;
        int32_t entry = -1; // -1: empty
    };
    size_t slotOf(uint32_t id) const { return (id * 0x9E3779B1u) >> otherShift; }
    int findOther(uint32_t id) const
    {
        // Open addressing with linear probing; the table is at most half full.
        for (size_t slot = slotOf(id);; slot = (slot + 1) & (others.size() - 1)) {
            if (others[slot].entry < 0 || others[slot].id == id)
                return others[slot].entry;
        }
    }
    void addOther(uint32_t id, int32_t entry);

    std::array<int32_t, 2048> standard;
    std::vector<Slot> others;
    int otherShift = 0;
    std::vector<const CandbMessage *> definitions;
};

// One signal to decode: where its value comes from and the output column it goes into.
struct DecodeStep
{
    FieldCodec codec;
    uint32_t column = 0;
};

// Everything the main pass needs, resolved once: the output columns ordered by the bytes of
// their names (or as chosen), and for each message entry the steps of its signals that have a
// column.
class DecodePlan
{
public:
    // `seen`, when given, holds for each message entry whether it occurs in the log: only the
    // messages seen get columns. `chosen`, when given, names the only columns and their order.
    DecodePlan(const Candb &candb, const MessageIndex &index, const std::vector<bool> *seen,
               const std::vector<std::string> *chosen = nullptr);

    const std::vector<std::string> &columns() const { return columnNames; }

    struct Message
    {
        uint64_t bigEndianMask = 0;
        uint32_t firstStep = 0;
        uint32_t endStep = 0;
    };
    const Message &message(int entry) const { return messages[entry]; }
    size_t messageCount() const { return messages.size(); }
    const DecodeStep *steps() const { return stepList.data(); }
    // True when signals of two different messages go into one column.
    bool sharesColumns() const { return columnsShared; }

private:
    bool columnsShared = false;
    std::vector<std::string> columnNames;
    std::vector<Message> messages;
    std::vector<DecodeStep> stepList;
};
