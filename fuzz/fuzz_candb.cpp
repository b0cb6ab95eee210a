// Candb files from anywhere: any bytes go through the parser and the reader. For a file the
// reader accepts, every signal is extracted from frames made from the input, once by walking the
// bytes and once through the resolved codec of the conversion, which must agree to the bit; the
// message index must find every message again.

#include "database/candb.h"
#include "database/decodeplan.h"
#include "database/fieldcodec.h"
#include "database/signalcodec.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

// Frames that depend on the input, so that a found fault comes back with the same input.
class FrameSource
{
public:
    FrameSource(const uint8_t *data, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            state = (state ^ data[i]) * 0x100000001B3ull;
    }
    void next(uint8_t bytes[8])
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(bytes, &state, 8);
    }

private:
    uint64_t state = 0xCBF29CE484222325ull;
};

uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void checkSignal(const Signal &sig, const uint8_t frame[8])
{
    check(sig.size >= 1 && sig.size <= 64, "signal length 1 to 64");
    check(sig.msb >= 0 && sig.msb <= 511 && sig.lsb >= 0 && sig.lsb <= 511,
          "bit positions within the 512 bits");

    const uint8_t length = frameByteCount(sig);
    const int64_t raw = extractRaw(frame, length, sig);
    if (sig.size < 64)
        check((uint64_t(raw) >> sig.size) == 0, "no raw bits above the signal's length");
    const double walked = physicalValue(sig, raw);

    const FieldCodec codec = FieldCodec::resolve(sig);
    const uint64_t little =
        littleEndianData(uint32_t(frame[0]) | uint32_t(frame[1]) << 8 | uint32_t(frame[2]) << 16 |
                             uint32_t(frame[3]) << 24,
                         uint32_t(frame[4]) | uint32_t(frame[5]) << 8 | uint32_t(frame[6]) << 16 |
                             uint32_t(frame[7]) << 24);
    const uint64_t big = bigEndianData(little, bigEndianDataMask(length));
    const double resolved = codec.value(little, big);
    check(bitsOf(walked) == bitsOf(resolved), "byte walk and resolved codec agree");
}

void checkIndex(const Candb &candb)
{
    const MessageIndex index(candb);
    for (const CandbMessage &message : candb.messages) {
        const int entry = index.find(message.id);
        check(entry >= 0 && size_t(entry) < index.size(), "every message is found");
        check(index.definition(size_t(entry)).id == message.id, "found under its own id");
    }
    const DecodePlan plan(candb, index, nullptr);
    const std::vector<std::string> &columns = plan.columns();
    check(std::adjacent_find(columns.begin(), columns.end(),
                             [](const std::string &a, const std::string &b) { return a >= b; }) ==
              columns.end(),
          "columns strictly ordered by their bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    std::string error;
    const std::optional<nlohmann::json> doc = parseJson(in, error);
    if (!doc) {
        check(!error.empty(), "a refused text says why");
        return 0;
    }
    const Candb candb = readCandb(*doc);
    if (!candb.ok()) {
        check(candb.messages.empty(), "a refused file yields no messages");
        return 0;
    }
    checkIndex(candb);
    FrameSource frames(data, size);
    for (int round = 0; round < 4; ++round) {
        uint8_t frame[8];
        if (round == 0)
            std::memset(frame, 0xFF, sizeof frame); // every signed field negative
        else
            frames.next(frame);
        for (const CandbMessage &message : candb.messages)
            for (const Signal &sig : message.signalList)
                checkSignal(sig, frame);
    }
    return 0;
}
