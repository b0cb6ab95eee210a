#include "conversion/conversionfiles.h"

#include "files/replacingfile.h"

namespace {

class FileLogSource : public LogSource
{
public:
    bool open(const std::string &path) { return reader.open(path); }
    size_t read(CAN_FIFOMailBox_TypeDef *records, size_t capacity) override
    {
        return reader.read(records, capacity);
    }
    bool failed() const override { return reader.failed(); }
    uint64_t size() const override { return reader.fileSize(); }

private:
    LogReader reader;
};

class FileTableSink : public TableSink
{
public:
    bool open(const std::string &path) { return file.open(path); }
    // The conversion hands over large blocks: no buffer of its own in between.
    bool write(const char *data, size_t size) override { return file.write(data, size); }
    bool close() override { return file.commit(); }
    void discard() override { file.discard(); }

private:
    ReplacingFile file;
};

} // namespace

std::unique_ptr<LogSource> ConversionFiles::openLog(const std::string &path)
{
    auto source = std::make_unique<FileLogSource>();
    if (!source->open(path))
        return nullptr;
    return source;
}

std::unique_ptr<TableSink> ConversionFiles::createTable(const std::string &path)
{
    auto sink = std::make_unique<FileTableSink>();
    if (!sink->open(path))
        return nullptr;
    return sink;
}
