#include "database/duplicates.h"

#include <cstdio>
#include <map>

namespace {

// An identifier as messages write it: 3 hexadecimal digits, or 8 for an extended one (bit 31).
std::string hexId(uint32_t id)
{
    constexpr uint32_t kExtended = 0x80000000u;
    char text[16];
    std::snprintf(text, sizeof text, (id & kExtended) ? "0x%08X" : "0x%03X",
                  unsigned(id & ~kExtended));
    return text;
}

std::string placeWithId(const CandbMessage &message)
{
    return message.place + " (id " + hexId(message.id) + ")";
}

} // namespace

std::vector<std::string> duplicateDefinitions(const Candb &candb)
{
    std::vector<std::string> lines;
    std::map<uint32_t, const CandbMessage *> decoding;    // the first message of each identifier
    std::map<std::string, const CandbMessage *> firstUse; // the message a name was first seen in
    for (const CandbMessage &message : candb.messages) {
        const auto [first, isFirst] = decoding.emplace(message.id, &message);
        if (!isFirst) {
            const CandbMessage &decoder = *first->second;
            lines.push_back("identifier " + hexId(message.id) + " is in " + decoder.place +
                            " and " + message.place + ": " + decoder.place +
                            " decodes its frames, " + message.place + " is ignored");
            continue;
        }
        for (const Signal &sig : message.signalList) {
            const auto [earlier, isNew] = firstUse.emplace(sig.name, &message);
            if (isNew)
                continue;
            const std::string where =
                earlier->second == &message
                    ? "twice in " + placeWithId(message)
                    : "in " + placeWithId(*earlier->second) + " and " + placeWithId(message);
            lines.push_back("signal \"" + sig.name + "\" is " + where +
                            ": its one column takes the values of both");
        }
    }
    return lines;
}
