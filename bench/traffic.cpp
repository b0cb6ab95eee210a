#include "traffic.h"

#include "database/candb.h"
#include "log/logfile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <queue>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A small, fast generator: the same traffic on every machine.
class Random
{
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int bound) { return int(next() % uint64_t(bound)); }
    double unit() { return double(next() >> 11) / double(uint64_t(1) << 53); }

private:
    uint64_t state;
};

struct Scaling
{
    double factor;
    double offset;
};

// Scalings as signal databases use them, binary fractions included: those give values whose
// sixth decimal is an exact tie.
constexpr Scaling kScalings[] = {{1, 0},          {0.1, 0},       {0.01, 0},   {0.5, -40},
                                 {0.03125, -273}, {0.0078125, 0}, {0.001, 0},  {0.05, -1600},
                                 {0.25, 0},       {2, 0},         {0.1, -100}, {1e-6, 0}};
constexpr int kLengths[] = {1, 1, 2, 4, 8, 8, 10, 12, 12, 16, 16};
constexpr double kWaveSeconds[] = {2, 5, 10, 30, 60};

// Lengths of `count` fields that fit into 64 bits together.
std::vector<int> fieldLengths(Random &random, int count)
{
    std::vector<int> lengths;
    int room = 64;
    for (int left = count; left > 0; --left) {
        int length = kLengths[random.below(int(std::size(kLengths)))];
        length = std::min(length, room - (left - 1));
        lengths.push_back(std::max(length, 1));
        room -= lengths.back();
    }
    return lengths;
}

GeneratedSignal makeSignal(Random &random, int message, int number, int length)
{
    GeneratedSignal sig;
    sig.length = length;
    const char *kind;
    if (length <= 2) {
        sig.motion = Motion::Status;
        kind = "State";
    } else if (length == 4) {
        sig.motion = Motion::Counter;
        kind = "Alive";
    } else {
        sig.motion = Motion::Analog;
        sig.isSigned = random.below(5) < 2;
        sig.noise = random.below(3);
        const Scaling scaling = kScalings[random.below(int(std::size(kScalings)))];
        sig.factor = scaling.factor;
        sig.offset = scaling.offset;
        kind = "Value";
    }
    sig.waveSeconds = kWaveSeconds[random.below(int(std::size(kWaveSeconds)))];
    sig.phase = random.unit();
    char name[48];
    std::snprintf(name, sizeof name, "M%02d_%s%d", message, kind, number);
    sig.name = name;
    return sig;
}

// Fields packed one after the other: little-endian ones upwards from bit 0, big-endian ones
// along the big-endian bit sequence from bit 7 of byte 0.
GeneratedMessage makeMessage(Random &random, int number, int signalCount)
{
    GeneratedMessage message;
    message.extended = number % 2 == 1; // the second bus uses extended identifiers
    message.id =
        message.extended ? 0x18F00000u + 0x100u * uint32_t(number) : 0x100u + uint32_t(number);
    const bool little = random.below(3) != 0;
    int position = 0;
    int s = 0;
    for (int length : fieldLengths(random, signalCount)) {
        GeneratedSignal sig = makeSignal(random, number, s++, length);
        sig.littleEndian = little;
        sig.position = position;
        position += length;
        message.signalList.push_back(sig);
    }
    return message;
}

// The signal's raw field at `seconds`, for the `count`th frame of its message.
uint64_t rawValue(const GeneratedSignal &sig, double seconds, uint64_t count, Random &random)
{
    const uint64_t mask = sig.length == 64 ? ~0ull : (uint64_t(1) << sig.length) - 1;
    switch (sig.motion) {
    case Motion::Status: {
        const uint64_t epoch = uint64_t(seconds / sig.waveSeconds + sig.phase);
        return (epoch * 0x9E3779B97F4A7C15ull >> 40) & mask;
    }
    case Motion::Counter:
        return count & mask;
    case Motion::Analog:
        break;
    }
    const double half = std::ldexp(1.0, sig.length - 1);
    const double centre = sig.isSigned ? 0.0 : half;
    const double wave = std::sin(2 * kPi * (seconds / sig.waveSeconds + sig.phase));
    double value = std::round(centre + 0.4 * half * wave);
    if (sig.noise > 0)
        value += random.below(2 * sig.noise + 1) - sig.noise;
    const double low = sig.isSigned ? -half : 0.0;
    const double high = sig.isSigned ? half - 1 : 2 * half - 1;
    value = std::min(high, std::max(low, value));
    return uint64_t(int64_t(value)) & mask;
}

// The data bytes of one frame, each field put where the Candb file says it lies.
std::array<uint8_t, 8> payload(const GeneratedMessage &message, double seconds, uint64_t count,
                               Random &random)
{
    uint64_t little = 0; // byte 0 in bits 7..0
    uint64_t big = 0;    // byte 0 in bits 63..56
    for (const GeneratedSignal &sig : message.signalList) {
        const uint64_t raw = rawValue(sig, seconds, count, random);
        if (sig.littleEndian)
            little |= raw << sig.position;
        else
            big |= raw << (64 - sig.position - sig.length);
    }
    if (message.signalList.empty())
        little = random.next();
    little |= __builtin_bswap64(big);
    std::array<uint8_t, 8> data;
    for (int i = 0; i < 8; ++i)
        data[i] = uint8_t(little >> (8 * i));
    return data;
}

nlohmann::json signalJson(const GeneratedSignal &sig)
{
    const int startbit =
        sig.littleEndian ? sig.position : 8 * (sig.position / 8) + 7 - sig.position % 8;
    nlohmann::json entry = {{"name", sig.name},        {"startbit", startbit},
                            {"bitlength", sig.length}, {"scaling", sig.factor},
                            {"offset", sig.offset},    {"signed", sig.isSigned}};
    if (sig.littleEndian)
        entry["endianess"] = true;
    return entry;
}

} // namespace

Traffic makeTraffic(int messages, int signalCount, double framesPerSecond,
                    double foreignFramesPerSecond, uint32_t seed)
{
    Random random(seed);
    Traffic traffic;
    // Fast and slow messages, as on a real bus: weights 1, 2 and 5 share the frame rate.
    std::vector<int> weights;
    int weightSum = 0;
    for (int m = 0; m < messages; ++m) {
        const int count = signalCount / messages + (m < signalCount % messages ? 1 : 0);
        traffic.messages.push_back(makeMessage(random, m, count));
        weights.push_back(std::array<int, 3>{1, 2, 5}[size_t(random.below(3))]);
        weightSum += weights.back();
    }
    for (int m = 0; m < messages; ++m)
        traffic.messages[size_t(m)].rateHz = framesPerSecond * weights[size_t(m)] / weightSum;

    // Other traffic on both buses, at 100 Hz per identifier.
    const int foreign = int(std::ceil(foreignFramesPerSecond / 100.0));
    for (int f = 0; f < foreign; ++f) {
        GeneratedMessage other;
        other.extended = f % 2 == 1;
        other.id = other.extended ? 0x0CF00000u + uint32_t(f) : 0x600u + uint32_t(f);
        other.rateHz = foreignFramesPerSecond / foreign;
        other.inDatabase = false;
        traffic.messages.push_back(other);
    }
    return traffic;
}

nlohmann::json candbOf(const Traffic &traffic)
{
    nlohmann::json messages = nlohmann::json::array();
    for (const GeneratedMessage &message : traffic.messages) {
        if (!message.inDatabase)
            continue;
        nlohmann::json sigs = nlohmann::json::array();
        for (const GeneratedSignal &sig : message.signalList)
            sigs.push_back(signalJson(sig));
        const uint32_t id = message.id | (message.extended ? 0x80000000u : 0u);
        messages.push_back({{"id", id}, {"dlc", message.dlc}, {"signals", sigs}});
    }
    return {{"messages", messages}};
}

bool writeTrafficLog(const std::string &path, const Traffic &traffic, uint64_t frames,
                     uint32_t seed)
{
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    Random random(seed);

    // Every message is sent once per period with a little jitter; the frames of both buses
    // meet in the log in time order.
    struct Due
    {
        uint64_t micros;
        size_t message;
        bool operator>(const Due &other) const { return micros > other.micros; }
    };
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> queue;
    std::vector<double> period(traffic.messages.size());
    std::vector<double> start(traffic.messages.size());
    std::vector<uint64_t> sent(traffic.messages.size(), 0);
    for (size_t m = 0; m < traffic.messages.size(); ++m) {
        period[m] = 1e6 / traffic.messages[m].rateHz;
        start[m] = random.unit() * period[m];
        queue.push({uint64_t(start[m]), m});
    }

    std::vector<uint8_t> buffer;
    buffer.reserve(size_t(1) << 20);
    bool written = true;
    for (uint64_t frame = 0; frame < frames && written; ++frame) {
        const Due due = queue.top();
        queue.pop();
        const GeneratedMessage &message = traffic.messages[due.message];
        const uint64_t count = sent[due.message]++;
        const LogFrame logFrame{message.id, message.extended, uint32_t(due.micros),
                                payload(message, double(due.micros) * 1e-6, count, random)};
        const auto record = encodeRecord(logFrame);
        buffer.insert(buffer.end(), record.begin(), record.end());
        if (buffer.size() == buffer.capacity()) {
            written = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
            buffer.clear();
        }
        const double jitter = (random.unit() - 0.5) * std::min(100.0, period[due.message] / 4);
        const double next = start[due.message] + double(count + 1) * period[due.message] + jitter;
        queue.push({std::max(due.micros, uint64_t(std::max(0.0, next))), due.message});
    }
    written = written && std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    return std::fclose(out) == 0 && written;
}
