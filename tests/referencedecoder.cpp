#include "referencedecoder.h"

#include "candecoder.h"
#include "database/signalcodec.h"

#include <fstream>
#include <iomanip>
#include <iterator>
#include <list>
#include <locale>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace {

std::vector<Log> readFrames(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<Log> frames;
    for (size_t at = 0; at + kLogRecordSize <= bytes.size(); at += kLogRecordSize)
        frames.push_back(decodeMailbox(readMailbox(reinterpret_cast<const uint8_t *>(&bytes[at]))));
    return frames;
}

std::string fixedSix(double value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(6) << value;
    return text.str();
}

std::string seconds(uint64_t micros)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << micros / 1000000 << '.' << std::setw(6) << std::setfill('0') << micros % 1000000;
    return text.str();
}

} // namespace

std::string referenceTable(const Candb &candb, const std::string &logPath, uint32_t periodMicros,
                           bool smart)
{
    const std::vector<Log> frames = readFrames(logPath);
    std::set<uint32_t> mb;
    for (const Log &frame : frames)
        mb.insert(frame.ID);

    std::map<uint32_t, std::list<Signal>> ms;
    std::map<std::string, double> mi;
    for (const CandbMessage &message : candb.messages) {
        std::list<Signal> signalList(message.signalList.begin(), message.signalList.end());
        if (!smart || mb.count(message.id)) {
            for (const Signal &sig : signalList)
                mi.emplace(sig.name, 0.0);
        }
        ms.emplace(message.id, signalList); // a later definition of an id is not kept
    }

    std::string table = "time";
    for (const auto &column : mi)
        table += "," + column.first;
    table += "\n";

    uint64_t wraps = 0;
    uint32_t previousStamp = 0;
    uint64_t old = 0;
    for (const Log &frame : frames) {
        if (frame.Time < previousStamp && previousStamp - frame.Time > 0x80000000u)
            wraps += 1;
        previousStamp = frame.Time;
        const uint64_t time = (wraps << 32) + frame.Time;

        auto message = ms.find(frame.ID);
        if (message != ms.end()) {
            for (auto sig = message->second.begin(); sig != message->second.end(); ++sig) {
                const std::vector<uint8_t> bytes(frame.Data, frame.Data + frameByteCount(*sig));
                const double value = physicalValue(*sig, get_raw_value(bytes, sig));
                auto column = mi.find(sig->name);
                if (column != mi.end())
                    column->second = value;
            }
        }
        if (time >= old + periodMicros) {
            old = time;
            table += seconds(time);
            for (const auto &column : mi)
                table += "," + fixedSix(column.second);
            table += "\n";
        }
    }
    return table;
}
