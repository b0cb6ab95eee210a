#include "log/logfile.h"

#include "files/inputfile.h"
#include "text/numbertext.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

static_assert(sizeof(CAN_FIFOMailBox_TypeDef) == kLogRecordSize, "records are read in place");

namespace {

uint32_t littleEndianWord(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

void putLittleEndianWord(uint32_t word, uint8_t *bytes)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(word >> (8 * i));
}

} // namespace

CAN_FIFOMailBox_TypeDef readMailbox(const uint8_t *record)
{
    return CAN_FIFOMailBox_TypeDef{littleEndianWord(record), littleEndianWord(record + 4),
                                   littleEndianWord(record + 8), littleEndianWord(record + 12)};
}

Log decodeMailbox(const CAN_FIFOMailBox_TypeDef &box)
{
    Log frame;
    frame.IDE = uint8_t(box.RIR & kIdeFlag);
    frame.ID = mailboxId(box);
    frame.Time = box.RDTR;
    for (int i = 0; i < 8; ++i)
        frame.Data[i] = mailboxDataByte(box, i);
    return frame;
}

LogReader::~LogReader()
{
    close();
}

bool LogReader::open(const std::string &path)
{
    close();
    const InputFile input = openInputFile(path);
    if (input.descriptor < 0)
        return false;
    file = fdopen(input.descriptor, "rb");
    if (!file) {
        ::close(input.descriptor);
        return false;
    }
    openedSize = uint64_t(input.size);
    return true;
}

bool LogReader::open(const std::string &path, uint64_t offset, uint64_t bytes)
{
    if (!open(path))
        return false;
    if (fseeko(file, off_t(offset), SEEK_SET) != 0) {
        close();
        return false;
    }
    limit = bytes;
    return true;
}

void LogReader::close()
{
    if (file)
        std::fclose(file); // opened for reading only: nothing can be lost here
    file = nullptr;
    partialSize = 0;
    consumed = 0;
    openedSize = 0;
    limit = UINT64_MAX;
    readError = false;
}

// Reads straight into `records`, behind the part of a record kept from the last read: the bytes
// are copied once, not through a buffer of our own.
size_t LogReader::read(CAN_FIFOMailBox_TypeDef *records, size_t capacity)
{
    if (!file || readError || capacity == 0)
        return 0;
    uint8_t *const bytes = reinterpret_cast<uint8_t *>(records);
    const size_t wanted = capacity * kLogRecordSize;
    size_t got = partialSize;
    std::memcpy(bytes, partial.data(), got);
    while (got < wanted && limit > 0) {
        const size_t more =
            std::fread(bytes + got, 1, size_t(std::min<uint64_t>(wanted - got, limit)), file);
        got += more;
        limit -= more;
        if (more == 0) {
            readError = std::ferror(file) != 0;
            break;
        }
    }
    const size_t count = got / kLogRecordSize;
    partialSize = got - count * kLogRecordSize;
    std::memcpy(partial.data(), bytes + count * kLogRecordSize, partialSize);
    // The record's words are little-endian in the file; on other hosts they are turned here.
    if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__) {
        for (size_t i = 0; i < count; ++i)
            records[i] = readMailbox(bytes + i * kLogRecordSize);
    }
    consumed += count * kLogRecordSize;
    return count;
}

std::array<uint8_t, kLogRecordSize> encodeRecord(const LogFrame &frame)
{
    const uint32_t rir =
        frame.extended ? (frame.id << kExtendedIdShift) | kIdeFlag : frame.id << kStandardIdShift;
    std::array<uint8_t, kLogRecordSize> record{};
    putLittleEndianWord(rir, record.data());
    putLittleEndianWord(frame.time, record.data() + 4);
    std::memcpy(record.data() + 8, frame.data.data(), frame.data.size());
    return record;
}

namespace {

constexpr size_t kWriteBlockBytes = size_t(1) << 20;

} // namespace

bool LogWriter::open(const std::string &path)
{
    buffer.clear();
    buffer.reserve(kWriteBlockBytes);
    writeError = false;
    return file.open(path);
}

bool LogWriter::add(const LogFrame &frame)
{
    if (buffer.size() + kLogRecordSize > kWriteBlockBytes && !flush())
        return false;
    const auto record = encodeRecord(frame);
    buffer.insert(buffer.end(), record.begin(), record.end());
    return !writeError;
}

bool LogWriter::flush()
{
    writeError = writeError || !file.write(buffer.data(), buffer.size());
    buffer.clear();
    return !writeError;
}

bool LogWriter::commit()
{
    if (!flush()) {
        file.discard();
        return false;
    }
    return file.commit();
}

void LogWriter::discard()
{
    buffer.clear();
    file.discard();
}

bool writeLogFile(const std::string &path, const std::vector<LogFrame> &frames)
{
    LogWriter writer;
    if (!writer.open(path))
        return false;
    for (const LogFrame &frame : frames) {
        if (!writer.add(frame))
            return false; // the writer's destructor gives the file up
    }
    return writer.commit();
}

std::string hexMailboxId(uint32_t id)
{
    return hexIdentifier(id & ~kExtendedIdFlag, (id & kExtendedIdFlag) != 0);
}
