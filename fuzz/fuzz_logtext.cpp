// candump logs and ASC files from anywhere: the first byte picks the format, the rest is the text.
// The reader never crashes, names the line of a fault, and hands on only frames a log record can
// hold. Every frame it hands on, written out again in the same format, reads back the same.

#include "fuzzcheck.h"
#include "log/logtext.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool sameFrame(const LogFrame &a, const LogFrame &b)
{
    return a.id == b.id && a.extended == b.extended && a.time == b.time && a.data == b.data;
}

// The frames as the writer puts them, each at its own stamp and with all 8 bytes.
std::string written(const std::vector<LogFrame> &frames, LogTextFormat format)
{
    const LogTextWriter writer(format, defaultChannel(format));
    std::string text = writer.header("Wed Dec 09 02:35:09.000 am 2026");
    std::vector<char> line(writer.longestLine());
    for (const LogFrame &frame : frames) {
        const CAN_FIFOMailBox_TypeDef record = readMailbox(encodeRecord(frame).data());
        char *end = writer.line(line.data(), frame.time, record, 8);
        check(size_t(end - line.data()) <= line.size(), "a line within its longest");
        text.append(line.data(), size_t(end - line.data()));
    }
    return text + writer.footer();
}

std::vector<LogFrame> readAll(const std::string &text, LogTextFormat format,
                              LogTextReading &reading)
{
    std::vector<LogFrame> frames;
    std::istringstream in(text);
    reading = readLogText(in, format, {}, [&frames](const LogFrame &frame) {
        frames.push_back(frame);
        return true;
    });
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const LogTextFormat format = data[0] & 1 ? LogTextFormat::Asc : LogTextFormat::Candump;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    LogTextReading reading;
    const std::vector<LogFrame> frames = readAll(text, format, reading);
    check(reading.frames == frames.size(), "every frame counted");
    check(reading.error.empty() || reading.error.rfind("line ", 0) == 0, "a fault names its line");
    for (const LogFrame &frame : frames)
        check(frame.id <= (frame.extended ? 0x1FFFFFFFu : 0x7FFu), "identifiers a record holds");

    LogTextReading again;
    const std::vector<LogFrame> back = readAll(written(frames, format), format, again);
    check(again.ok() && again.skipped.total() == 0, "written frames read without a fault");
    check(back.size() == frames.size(), "as many frames back");
    for (size_t i = 0; i < back.size(); ++i)
        check(sameFrame(back[i], frames[i]), "each frame back as it was");
    return 0;
}
