#pragma once

#include "files/inputfile.h"
#include "log/logfile.h"

#include <cstdint>
#include <memory>
#include <string>

// The records of a log file, one pass from the start.
class LogSource
{
public:
    virtual ~LogSource() = default;
    // Up to `capacity` whole records; fewer only at the end of the file or on a read error.
    virtual size_t read(CAN_FIFOMailBox_TypeDef *records, size_t capacity) = 0;
    // True when reading stopped because of an error rather than at the end of the file.
    virtual bool failed() const = 0;
    // The file's size in bytes when it was opened.
    virtual uint64_t size() const = 0;
};

// True when `records` whole records were all the log held when it was opened and none failed to
// be read: fewer means it was cut short while being read.
inline bool readWhole(const LogSource &log, uint64_t records)
{
    return !log.failed() &&
           records * kLogRecordSize >= log.size() / kLogRecordSize * kLogRecordSize;
}

// Where the output table goes.
class TableSink
{
public:
    virtual ~TableSink() = default;
    // False when the bytes could not all be written.
    virtual bool write(const char *data, size_t size) = 0;
    // Closes the file, the table complete; false when something written could not be stored.
    virtual bool close() = 0;
    // Closes the file, giving up the table, so that an earlier file of its name stays as it was.
    // A sink that has nothing to give up just closes.
    virtual void discard() { close(); }
};

// How the conversion reaches its files. The plain one opens real files; tests put faults in
// between.
class ConversionFiles
{
public:
    virtual ~ConversionFiles() = default;
    // Paths are in the platform's file-name encoding. Nothing when the file cannot be opened.
    virtual std::unique_ptr<LogSource> openLog(const std::string &path);
    // Creates the table's file. An existing file is replaced only when the table is complete.
    // Nothing when it cannot be created.
    virtual std::unique_ptr<TableSink> createTable(const std::string &path);
};
