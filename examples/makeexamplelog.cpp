// Makes the example log: 90 seconds of a small vehicle's two buses, as the logger would have
// recorded them, from the signal definitions of the example Candb file.
//
//     makeexamplelog vehicle.json vehicle.qvl
//
// The drive: the engine idles with the driver's door open, the car pulls away, cruises at
// about 80 km/h, brakes, takes a left bend at 30 km/h and stops. The output is the same on every
// run and every machine.

#include "database/candb.h"
#include "log/logfile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>

namespace {

constexpr double kDuration = 90.0;           // seconds
constexpr uint32_t kLoggerStart = 2'500'000; // the logger's clock when recording began, us
constexpr double kPi = 3.14159265358979323846;

double clamp01(double x)
{
    return std::min(1.0, std::max(0.0, x));
}

// Smooth step from 0 to 1 while t runs from a to b.
double ramp(double t, double a, double b)
{
    const double x = clamp01((t - a) / (b - a));
    return x * x * (3 - 2 * x);
}

// Vehicle speed in km/h.
double speed(double t)
{
    return 80 * ramp(t, 8, 28) + 3 * std::sin(t / 4) * ramp(t, 28, 32) * (1 - ramp(t, 52, 56)) -
           50 * ramp(t, 55, 68) - 30 * ramp(t, 80, 88);
}

double acceleration(double t)
{
    return (speed(t + 0.05) - speed(t - 0.05)) / 0.1 / 3.6;
}

int gear(double t)
{
    const double v = speed(t);
    if (v < 1)
        return 0;
    return std::min(6, 1 + int(v / 15));
}

double braking(double t)
{
    return (acceleration(t) < -0.3) ? std::min(60.0, -acceleration(t) * 12) : 0;
}

double steering(double t)
{
    return 95 * ramp(t, 70, 73) * (1 - ramp(t, 77, 80)) + 2 * std::sin(t * 1.3);
}

using Profile = std::function<double(double)>;

// The physical value of every signal of the example database at time t.
const std::map<std::string, Profile> &profiles()
{
    static const std::map<std::string, Profile> table = {
        {"EngineSpeed", [](double t) { return gear(t) ? 900 + speed(t) * 60 / gear(t) : 820; }},
        {"EngineTorque",
         [](double t) { return braking(t) > 0 ? -25 : 40 + 45 * std::max(0.0, acceleration(t)); }},
        {"AccelPedal",
         [](double t) { return braking(t) > 0 ? 0 : std::min(100.0, 8 + 30 * acceleration(t)); }},
        {"CoolantTemp", [](double t) { return 62 + 26 * ramp(t, 0, 80); }},
        {"EngineRunning", [](double) { return 1; }},
        {"VehicleSpeed", speed},
        {"LongAccel", acceleration},
        {"GearSelected", [](double t) { return gear(t); }},
        {"GearboxTemp", [](double t) { return 48 + 20 * ramp(t, 5, 85); }},
        {"ShiftInProgress", [](double t) { return gear(t) != gear(t - 0.3) ? 1 : 0; }},
        {"BrakePressure", braking},
        {"BrakePedal", [](double t) { return braking(t) > 0 ? 1 : 0; }},
        {"WheelSpeedFL", [](double t) { return speed(t) * (1 - steering(t) / 2000); }},
        {"WheelSpeedFR", [](double t) { return speed(t) * (1 + steering(t) / 2000); }},
        {"WheelSpeedRL", [](double t) { return speed(t) * (1 - steering(t) / 2500); }},
        {"WheelSpeedRR", [](double t) { return speed(t) * (1 + steering(t) / 2500); }},
        {"SteeringAngle", steering},
        {"SteeringRate", [](double t) { return (steering(t + 0.05) - steering(t - 0.05)) / 0.1; }},
        {"BatteryVoltage", [](double t) { return 14.1 - 0.2 * std::sin(t / 7); }},
        {"BatteryCurrent", [](double t) { return 12 - 20 * ramp(t, 0, 20) + braking(t) / 3; }},
        {"StateOfCharge", [](double t) { return 81 - t / 60; }},
        {"BatteryTemp", [](double t) { return 24 + t / 30; }},
        {"CabinTemp", [](double t) { return 17.5 + 3.5 * ramp(t, 0, 90); }},
        {"AmbientTemp", [](double) { return 12.4; }},
        {"FanLevel", [](double t) { return t < 45 ? 4 : 2; }},
        {"Latitude", [](double t) { return 45.4642 + t * 0.00012; }},
        {"Longitude", [](double t) { return 9.1900 + t * 0.00021 - 0.0004 * ramp(t, 70, 80); }},
        {"HeadlightsOn", [](double) { return 1; }},
        {"TurnLeft", [](double t) { return t > 67 && t < 79 && std::fmod(t, 0.8) < 0.4; }},
        {"TurnRight", [](double) { return 0; }},
        {"DoorDriverOpen", [](double t) { return t < 3 || t > 88.5; }},
        {"SeatbeltDriver", [](double t) { return t > 5 && t < 88; }},
    };
    return table;
}

// The raw field of a physical value, rounded and kept inside what the field can hold.
uint64_t rawOf(const Signal &sig, double value)
{
    const double lowest = sig.is_signed ? -std::ldexp(1, sig.size - 1) : 0;
    const double highest = std::ldexp(1, sig.is_signed ? sig.size - 1 : sig.size) - 1;
    const double raw =
        std::min(highest, std::max(lowest, std::round((value - sig.offset) / sig.factor)));
    const uint64_t mask = sig.size == 64 ? ~uint64_t(0) : (uint64_t(1) << sig.size) - 1;
    return uint64_t(int64_t(raw)) & mask;
}

void setBit(std::array<uint8_t, 8> &data, int bit, bool on)
{
    if (on)
        data[bit / 8] |= uint8_t(1u << (bit % 8));
}

// Writes the raw field into the frame, bit by bit, along the signal's byte order.
void putSignal(std::array<uint8_t, 8> &data, const Signal &sig, uint64_t raw)
{
    if (sig.is_little_endian) {
        for (int k = 0; k < sig.size; ++k)
            setBit(data, sig.lsb + k, (raw >> k) & 1);
        return;
    }
    const auto &order = be_bits();
    const int first = int(std::find(order.begin(), order.end(), sig.msb) - order.begin());
    for (int k = 0; k < sig.size; ++k)
        setBit(data, order[first + k], (raw >> (sig.size - 1 - k)) & 1);
}

// A small fixed generator, so that the log is the same everywhere.
uint32_t jitter(uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return (state >> 16) % 400; // up to 0.4 ms of bus latency
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CANDB.json OUTPUT.qvl\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string error;
    const std::optional<nlohmann::json> doc = parseJson(in, error);
    const Candb candb = doc ? readCandb(*doc) : Candb{{}, error};
    if (!candb.ok()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], candb.error.c_str());
        return 1;
    }

    std::vector<LogFrame> frames;
    uint32_t state = 1;
    for (size_t m = 0; m < candb.messages.size(); ++m) {
        const CandbMessage &message = candb.messages[m];
        const uint32_t cycle = (*doc)["messages"][m].value("cycle_ms", 100u) * 1000u;
        const uint32_t phase = (uint32_t(m) * 1237u) % cycle;
        for (uint32_t at = phase; at < uint32_t(kDuration * 1e6); at += cycle) {
            LogFrame frame;
            frame.extended = (message.id & kExtendedIdFlag) != 0;
            frame.id = message.id & ~kExtendedIdFlag;
            frame.time = kLoggerStart + at + jitter(state);
            for (const Signal &sig : message.signalList)
                putSignal(frame.data, sig, rawOf(sig, profiles().at(sig.name)(at / 1e6)));
            frames.push_back(frame);
        }
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const LogFrame &a, const LogFrame &b) { return a.time < b.time; });
    if (!writeLogFile(argv[2], frames)) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    std::printf("%zu frames written to %s\n", frames.size(), argv[2]);
    return 0;
}
