#include "database/duplicates.h"

#include "log/logfile.h"
#include "text/numbertext.h"

#include <map>

namespace {

std::string placeWithId(const CandbMessage &message)
{
    return message.place + " (id " + hexMailboxId(message.id) + ")";
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
            lines.push_back("identifier " + hexMailboxId(message.id) + " is in " + decoder.place +
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
