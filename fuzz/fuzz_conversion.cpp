// Logs from anywhere: any bytes go through the log reader and the conversion engine with a
// fixed small Candb database. The table must be well formed whatever the log holds: every line
// as many fields as the header, rows exactly when the unwrapped time stamps fall due, each time
// later than the row before it, and every value in fixed notation with six decimals.
//
// Input: two bytes choose the conversion frequency, one byte the smart mode, the rest is the log.

#include "conversion/conversion.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Standard and extended identifiers, both byte orders, signed and 64-bit fields, a field that
// runs past the data length, a message without data, one that declares more than a record holds,
// an id defined twice and a name shared by two messages.
const char *const kCandb = R"({"messages": [
  {"id": 291, "dlc": 2, "signals": [
    {"name": "Speed", "startbit": 0, "bitlength": 16, "scaling": 0.01, "offset": 0,
     "signed": false, "endianess": true},
    {"name": "Gear", "startbit": 15, "bitlength": 4, "scaling": 1, "offset": 0,
     "signed": false}]},
  {"id": 2147484208, "dlc": 8, "signals": [
    {"name": "Torque", "startbit": 13, "bitlength": 10, "scaling": 0.5, "offset": -100,
     "signed": true},
    {"name": "Odometer", "startbit": 0, "bitlength": 64, "scaling": 1, "offset": 0,
     "signed": false, "endianess": true},
    {"name": "Counter", "startbit": 7, "bitlength": 64, "scaling": 1e-3, "offset": 0,
     "signed": true}]},
  {"id": 1, "dlc": 3, "signals": [
    {"name": "Partial", "startbit": 23, "bitlength": 16, "scaling": 1, "offset": 0,
     "signed": true},
    {"name": "Speed", "startbit": 8, "bitlength": 8, "scaling": 2, "offset": -40,
     "signed": false, "endianess": true}]},
  {"id": 2, "dlc": 0, "signals": [
    {"name": "Empty", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0,
     "signed": false, "endianess": true}]},
  {"id": 3, "dlc": 12, "signals": [
    {"name": "Wide", "startbit": 60, "bitlength": 12, "scaling": 1, "offset": 0,
     "signed": false, "endianess": true}]},
  {"id": 291, "dlc": 8, "signals": [
    {"name": "Shadow", "startbit": 0, "bitlength": 8, "scaling": 1, "offset": 0,
     "signed": false}]},
  {"id": 536870911, "dlc": 1, "signals": []}
]})";

const Candb &candb()
{
    static const Candb database = [] {
        std::istringstream in(kCandb);
        Candb read = readCandb(in);
        check(read.ok(), "the fixed Candb file is accepted");
        return read;
    }();
    return database;
}

class MemoryTable : public TableSink
{
public:
    explicit MemoryTable(std::string &text) : text(text) {}
    bool write(const char *data, size_t size) override
    {
        text.append(data, size);
        return true;
    }
    bool close() override { return true; }

private:
    std::string &text;
};

// Reads the log from a real file, so that the reader's buffering is part of the test; writes
// the table into memory.
class MemoryOutput : public ConversionFiles
{
public:
    std::string text;
    std::unique_ptr<TableSink> createTable(const std::string &) override
    {
        return std::make_unique<MemoryTable>(text);
    }
};

uint32_t wordAt(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// The row times the log's time stamps call for: the 32-bit counter unwrapped when it steps back
// by more than half its range, a row whenever the time reaches the last row's plus one period.
std::vector<uint64_t> dueRows(const uint8_t *log, size_t size, uint32_t period)
{
    std::vector<uint64_t> rows;
    uint64_t epoch = 0, lastRow = 0;
    uint32_t previous = 0;
    for (size_t at = 0; at + 16 <= size; at += 16) {
        const uint32_t stamp = wordAt(log + at + 4);
        if (stamp < previous && previous - stamp > 0x80000000u)
            epoch += uint64_t(1) << 32;
        previous = stamp;
        const uint64_t time = epoch + stamp;
        if (time >= lastRow + period) {
            lastRow = time;
            rows.push_back(time);
        }
    }
    return rows;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool allDigits(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Fixed notation with six decimals: [-]digits.dddddd
bool isFixedSix(const std::string &field)
{
    const size_t start = (!field.empty() && field[0] == '-') ? 1 : 0;
    const size_t point = field.find('.');
    return point != std::string::npos && point > start && field.size() - point == 7 &&
           allDigits(field.substr(start, point - start)) && allDigits(field.substr(point + 1));
}

uint64_t microsOf(const std::string &field)
{
    const size_t point = field.find('.');
    return std::strtoull(field.substr(0, point).c_str(), nullptr, 10) * 1000000 +
           std::strtoull(field.substr(point + 1).c_str(), nullptr, 10);
}

void checkTable(const std::string &text, const std::vector<uint64_t> &due,
                const ConversionSummary &summary)
{
    check(!text.empty() && text.back() == '\n', "the table ends with a line end");
    std::vector<std::string> lines = split(text.substr(0, text.size() - 1), '\n');
    const std::vector<std::string> header = split(lines[0], ',');
    check(header[0] == "time", "the header starts with time");
    check(header.size() == summary.columns + 1, "a header field per column");
    check(lines.size() == due.size() + 1, "a row exactly for each time that fell due");
    check(summary.rows == due.size(), "the rows counted are the rows written");
    for (size_t row = 1; row < lines.size(); ++row) {
        const std::vector<std::string> fields = split(lines[row], ',');
        check(fields.size() == header.size(), "every row has the header's number of fields");
        for (const std::string &field : fields)
            check(isFixedSix(field), "every field in fixed notation with six decimals");
        check(fields[0][0] != '-', "no negative time");
        const uint64_t time = microsOf(fields[0]);
        check(time == due[row - 1], "the row's time is the time stamp that made it due");
        if (row > 1)
            check(time > due[row - 2], "times only increase");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint32_t frequency = 1 + (uint32_t(data[0]) << 8 | data[1]) % 20000;
    ConversionJob job;
    job.periodMicros = 1000000 / frequency;
    job.smart = data[2] & 1;
    const uint8_t *log = data + 3;
    const size_t logSize = size - 3;

    const InMemoryFile file(log, logSize);
    job.logPath = file.path();
    job.outputPath = "/nonexistent/quorvane-fuzz-table.csv";
    MemoryOutput output;
    const ConversionSummary summary = convertLog(candb(), job, {}, output);

    check(summary.outcome == ConversionOutcome::Finished, "a readable log converts to its end");
    check(summary.frames == logSize / 16, "every whole record read, no trailing part");
    checkTable(output.text, dueRows(log, logSize, job.periodMicros), summary);
    return 0;
}
