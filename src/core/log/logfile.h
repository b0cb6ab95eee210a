#pragma once

#include "files/replacingfile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

// One log record as stored: the image of the bxCAN receive mailbox, four little-endian words.
struct CAN_FIFOMailBox_TypeDef
{
    uint32_t RIR;  // identifier word; bit 2 is IDE (extended format)
    uint32_t RDTR; // time stamp in microseconds (the logger puts it where the DLC would be)
    uint32_t RDLR; // data bytes 0..3, byte 0 in bits 7..0
    uint32_t RDHR; // data bytes 4..7
};

// A decoded frame.
struct Log
{
    uint32_t Time = 0; // microseconds
    uint32_t ID = 0;   // 11-bit identifier, or 29-bit identifier | 0x80000000
    uint8_t IDE = 0;   // 4 for an extended frame, 0 for a standard one
    uint32_t RTR = 0;
    uint8_t DLC = 0;
    uint32_t FilterMatchIndex = 0;
    uint8_t Data[8] = {};
};

constexpr size_t kLogRecordSize = 16;
constexpr uint32_t kExtendedIdFlag = 0x80000000u;
// The largest identifiers of the two formats: 11 and 29 bits.
constexpr uint32_t kLargestStandardId = 0x7FF;
constexpr uint32_t kLargestExtendedId = 0x1FFFFFFF;
// Where the identifier word keeps its parts.
constexpr uint32_t kIdeFlag = 4;
constexpr int kStandardIdShift = 21;
constexpr int kExtendedIdShift = 3;

// Data byte `index` (0 to 7) of a record.
inline uint8_t mailboxDataByte(const CAN_FIFOMailBox_TypeDef &box, int index)
{
    return uint8_t((index < 4 ? box.RDLR : box.RDHR) >> (8 * (index % 4)));
}

// Reads the four words of a 16-byte record, little-endian on any host.
CAN_FIFOMailBox_TypeDef readMailbox(const uint8_t *record);
Log decodeMailbox(const CAN_FIFOMailBox_TypeDef &box);

// An identifier as mailboxId gives it, in hexadecimal: 0x123, or 0x18FEF100 when extended.
std::string hexMailboxId(uint32_t id);

// The frame identifier of a record, as decodeMailbox gives it in Log::ID.
inline uint32_t mailboxId(const CAN_FIFOMailBox_TypeDef &box)
{
    return (box.RIR & kIdeFlag) ? (box.RIR >> kExtendedIdShift) | kExtendedIdFlag
                                : box.RIR >> kStandardIdShift;
}

// Turns the logger's 32-bit microsecond stamps, which wrap after about 71.6 minutes, into a time
// that keeps counting. A stamp that lies more than half the counter's range below the one before
// it came after a wrap; a smaller step back is just a frame out of order.
class StampUnwrapper
{
public:
    StampUnwrapper() = default;
    // Goes on after a frame whose time was unwrapped to `lastTime`, as if it had unwrapped it and
    // `wraps` wraps before.
    explicit StampUnwrapper(uint64_t lastTime, uint64_t wraps = 0)
        : epoch(lastTime & ~uint64_t(0xFFFFFFFFu)), wrapCount(wraps), previous(uint32_t(lastTime))
    {
    }

    // True when `stamp` after `previous` is the counter starting over rather than a step back.
    static bool wrapsAfter(uint32_t previous, uint32_t stamp)
    {
        return stamp < previous && previous - stamp > 0x80000000u;
    }

    uint64_t operator()(uint32_t stamp)
    {
        if (wrapsAfter(previous, stamp)) {
            epoch += uint64_t(1) << 32;
            ++wrapCount;
        }
        previous = stamp;
        return epoch + stamp;
    }
    // How many times the stamps have wrapped so far.
    uint64_t wraps() const { return wrapCount; }
    // What the next stamp is added to when it does not wrap, and the last stamp taken.
    uint64_t epochNow() const { return epoch; }
    uint32_t lastStamp() const { return previous; }

private:
    uint64_t epoch = 0;
    uint64_t wrapCount = 0;
    uint32_t previous = 0;
};

// True for a record whose 16 bytes are all 0x00 or all 0xFF: erased card memory rather than a
// frame the logger wrote.
inline bool isBlankRecord(const CAN_FIFOMailBox_TypeDef &box)
{
    const uint32_t word = box.RIR;
    return (word == 0 || word == 0xFFFFFFFFu) && box.RDTR == word && box.RDLR == word &&
           box.RDHR == word;
}

// Counts the run of blank records at the end of a log read in batches. A card that lost power
// mid-write often ends in erased blocks. Each batch is looked at from its end, so it costs only
// the blank records at its end.
class BlankTail
{
public:
    void add(const CAN_FIFOMailBox_TypeDef *records, size_t count)
    {
        size_t blank = 0;
        while (blank < count && isBlankRecord(records[count - 1 - blank]))
            ++blank;
        tail = blank == count ? tail + blank : blank;
    }
    uint64_t records() const { return tail; }

private:
    uint64_t tail = 0;
};

// Hands out memory that starts on a cache line. The kernel copies a file's bytes into a buffer
// that starts in the middle of a line about a third more slowly, and reading records is most of
// what every pass over a log does.
template <typename T> struct CacheLineAllocator
{
    using value_type = T;
    static constexpr std::align_val_t kAlignment{64};

    CacheLineAllocator() = default;
    template <typename U> CacheLineAllocator(const CacheLineAllocator<U> &) {}
    T *allocate(size_t count)
    {
        return static_cast<T *>(::operator new(count * sizeof(T), kAlignment));
    }
    void deallocate(T *memory, size_t) { ::operator delete(memory, kAlignment); }
    bool operator==(const CacheLineAllocator &) const { return true; }
    bool operator!=(const CacheLineAllocator &) const { return false; }
};

// Records taken from a log a batch at a time.
using RecordBatch =
    std::vector<CAN_FIFOMailBox_TypeDef, CacheLineAllocator<CAN_FIFOMailBox_TypeDef>>;

// Reads a log file from the start in batches of records. Only whole records are handed on: a
// part of a record at the end of a read waits for the rest, and one at the end of the file is
// never handed on.
class LogReader
{
public:
    LogReader() = default;
    ~LogReader();
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    // Opens `path` (in the platform's file-name encoding) to read from its start, closing any
    // file opened before. False if it cannot be opened as an input (openInputFile tells why).
    bool open(const std::string &path);
    // Opens `path` to read the `bytes` bytes from `offset` on as if they were the whole file.
    bool open(const std::string &path, uint64_t offset, uint64_t bytes);
    void close();
    // Up to `capacity` whole records; fewer only at the end of the file or on a read error.
    size_t read(CAN_FIFOMailBox_TypeDef *records, size_t capacity);
    // True when reading stopped because of an error rather than at the end of the file.
    bool failed() const { return readError; }
    // Bytes of whole records handed on so far.
    uint64_t bytesRead() const { return consumed; }
    // The whole file's size in bytes when it was opened.
    uint64_t fileSize() const { return openedSize; }

private:
    std::FILE *file = nullptr;
    std::array<uint8_t, kLogRecordSize> partial{}; // the start of a record not yet whole
    size_t partialSize = 0;
    uint64_t consumed = 0;
    uint64_t openedSize = 0;
    uint64_t limit = UINT64_MAX; // the bytes left to read
    bool readError = false;
};

// A frame to be written into a log: made up for a test or an example, or taken from another
// log format.
struct LogFrame
{
    uint32_t id = 0; // 11-bit or 29-bit identifier, without the extended flag
    bool extended = false;
    uint32_t time = 0; // microseconds
    std::array<uint8_t, 8> data{};
};

// The 16 bytes the logger stores for `frame`. Identifier bits above the 11 (standard) or 29
// (extended) that the identifier word holds do not fit and are dropped: callers check the range.
std::array<uint8_t, kLogRecordSize> encodeRecord(const LogFrame &frame);

// Writes a .qvl file frame by frame, in large blocks, through a ReplacingFile: the file gets its
// content only at commit, so a failed or abandoned writing leaves no part of a log behind and an
// earlier file of that name as it was.
class LogWriter
{
public:
    // Opens `path` (in the platform's file-name encoding). False if it cannot be created.
    bool open(const std::string &path);
    // False once a write has failed; later frames are not written either.
    bool add(const LogFrame &frame);
    // Stores every frame added as the file's content. False if they could not all be stored.
    bool commit();
    // Gives the log up, as the destructor does when commit was not called.
    void discard();

private:
    bool flush();

    ReplacingFile file;
    std::vector<uint8_t> buffer;
    bool writeError = false;
};

// Writes a whole .qvl file with LogWriter, replacing any file of that name. False if it could
// not be written completely; an earlier file then keeps its content.
bool writeLogFile(const std::string &path, const std::vector<LogFrame> &frames);
