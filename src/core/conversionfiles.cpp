#include "conversionfiles.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

class FileLogSource : public LogSource
{
public:
    bool open(const std::string &path)
    {
        struct stat info;
        if (!reader.open(path) || stat(path.c_str(), &info) != 0)
            return false;
        bytes = static_cast<uint64_t>(info.st_size);
        return true;
    }
    bool next(CAN_FIFOMailBox_TypeDef &record) override { return reader.next(record); }
    size_t read(CAN_FIFOMailBox_TypeDef *records, size_t capacity) override
    {
        return reader.read(records, capacity);
    }
    bool failed() const override { return reader.failed(); }
    uint64_t size() const override { return bytes; }

private:
    LogReader reader;
    uint64_t bytes = 0;
};

class FileTableSink : public TableSink
{
public:
    explicit FileTableSink(std::FILE *file) : file(file)
    {
        // The conversion hands over large blocks already; a second buffer would only copy them.
        std::setvbuf(file, nullptr, _IONBF, 0);
    }
    ~FileTableSink() override { close(); }

    bool write(const char *data, size_t size) override
    {
        return std::fwrite(data, 1, size, file) == size;
    }
    bool close() override
    {
        if (!file)
            return true;
        const bool stored = std::fclose(file) == 0;
        file = nullptr;
        return stored;
    }

private:
    std::FILE *file;
};

} // namespace

size_t LogSource::read(CAN_FIFOMailBox_TypeDef *records, size_t capacity)
{
    size_t count = 0;
    while (count < capacity && next(records[count]))
        ++count;
    return count;
}

std::unique_ptr<LogSource> ConversionFiles::openLog(const std::string &path)
{
    auto source = std::make_unique<FileLogSource>();
    if (!source->open(path))
        return nullptr;
    return source;
}

std::unique_ptr<TableSink> ConversionFiles::createTable(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "w");
    if (!file)
        return nullptr;
    return std::make_unique<FileTableSink>(file);
}

bool sameFile(const std::string &first, const std::string &second)
{
    struct stat a, b;
    if (stat(first.c_str(), &a) != 0 || stat(second.c_str(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
