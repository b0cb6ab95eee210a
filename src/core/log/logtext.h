#pragma once

#include "log/logfile.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <string>

// The two text formats that replay tools, bus analysers and scripting libraries read and write:
//
//     candump log:  (1.500000) can0 123#1122334455667788
//                   (1.600000) can0 18FEF100#0102
//     Vector ASC:      1.500000 1  123             Rx   d 8 11 22 33 44 55 66 77 88
//                      1.600000 1  18FEF100x       Rx   d 2 01 02
//
// A candump identifier has 3 hexadecimal digits (standard) or 8 (extended); an ASC one is
// extended when an 'x' follows it. Both give the time in seconds.
enum class LogTextFormat
{
    Candump,
    Asc,
};

// The format named on the command line ("candump", "asc"), or the one a file name's extension
// (".log", ".asc", in any case) stands for. False when neither says.
bool logTextFormatNamed(const std::string &name, LogTextFormat &format);
bool logTextFormatOfPath(const std::string &path, LogTextFormat &format);

// The channel every frame is written with when none is given: "can0" or 1.
std::string defaultChannel(LogTextFormat format);
// What is wrong with a channel given for `format`, or empty. A candump channel is the name of a
// network interface (printable, no spaces); an ASC channel a number from 1 to 255.
std::string channelProblem(LogTextFormat format, const std::string &channel);

// Writes frames as lines of text, with no locale in between: the exact digits of the time and
// the data.
class LogTextWriter
{
public:
    // `channel` must be one channelProblem accepts.
    LogTextWriter(LogTextFormat format, std::string channel);

    // The lines before the first frame; `date` is the ASC header's date, as ascDate gives it.
    std::string header(const std::string &date) const;
    // The lines after the last frame.
    std::string footer() const;

    // The most bytes a line may take.
    size_t longestLine() const { return channel.size() + kLongestLineWithoutChannel; }
    // Writes the line of a record at `micros` microseconds since the log began, carrying its
    // first `length` data bytes (at most 8), from `out` on; gives the end of the line.
    char *line(char *out, uint64_t micros, const CAN_FIFOMailBox_TypeDef &record,
               uint8_t length) const;

private:
    // Room for the longest line but its channel: an ASC line of an extended frame with 8 data
    // bytes at the largest time (21 characters) takes 73.
    static constexpr size_t kLongestLineWithoutChannel = 80;

    // One writer per format, the line break left to line().
    char *candumpLine(char *out, uint64_t micros, uint32_t id, bool extended,
                      const CAN_FIFOMailBox_TypeDef &record, uint8_t length) const;
    char *ascLine(char *out, uint64_t micros, uint32_t id, bool extended,
                  const CAN_FIFOMailBox_TypeDef &record, uint8_t length) const;

    LogTextFormat format;
    std::string channel;
};

// An ASC header's date of `msecsSinceEpoch`, in local time and always in English:
// "Wed Dec 09 02:35:09.000 am 2026".
std::string ascDate(int64_t msecsSinceEpoch);

// The lines a reading leaves out, by kind.
struct SkippedLines
{
    uint64_t remoteFrames = 0;
    uint64_t errorFrames = 0;
    uint64_t fdFrames = 0;
    uint64_t events = 0;        // ASC lines that are no frame: statistics, chip states, markers
    uint64_t otherChannels = 0; // frames of channels other than the one asked for

    uint64_t total() const
    {
        return remoteFrames + errorFrames + fdFrames + events + otherChannels;
    }
};
// "skipped 2 remote frames, 1 error frame, ..." naming only the kinds that occurred.
std::string skippedText(const SkippedLines &skipped);

// What reading a log text found.
struct LogTextReading
{
    std::string error;    // the first malformed line: "line 12: ..."; empty when none
    bool stopped = false; // the frames' taker asked to stop
    uint64_t frames = 0;  // classic data frames handed on
    SkippedLines skipped;

    bool ok() const { return error.empty() && !stopped; }
};

// Hands every classic data frame of the text to `take`, in file order, until it returns false.
// Each frame's time is the line's time in microseconds, rounded, modulo 2^32: the stamp the
// logger's counter would hold. Reading ends at the first malformed line. `channel`, when not
// empty, keeps only the frames of that channel.
//
// candump: "(SECONDS) CHANNEL FRAME", an 'R' or 'T' for the direction after the frame allowed.
// Remote (ID#R), error (the error flag 20000000 in the identifier) and CAN FD frames (ID##...)
// are skipped. Blank lines and lines starting with '#' are passed over.
//
// ASC: the header's "base hex|dec" and "timestamps absolute|relative" hold for the lines after
// it; relative times count from the line before. Frames on "CHANNEL ID Rx|Tx d LENGTH BYTES";
// remote frames ("r"), error frames, CANFD lines and event lines are skipped. Comments ("//"),
// "date", "Begin Triggerblock" and "End TriggerBlock" lines are passed over.
using FrameTaker = std::function<bool(const LogFrame &)>;
LogTextReading readLogText(std::istream &in, LogTextFormat format, const std::string &channel,
                           const FrameTaker &take);
