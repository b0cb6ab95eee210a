// DBC files from anywhere: any bytes go through the DBC reader. A refused text yields no document
// and names a line; an accepted one is a Candb document the Candb reader accepts, as written to
// a file and read back, with every signal the document holds.

#include "database/candb.h"
#include "database/dbc.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

namespace {

size_t documentSignals(const nlohmann::ordered_json &document)
{
    size_t count = 0;
    for (const auto &message : document["messages"])
        count += message["signals"].size();
    return count;
}

size_t candbSignals(const Candb &candb)
{
    size_t count = 0;
    for (const CandbMessage &message : candb.messages)
        count += message.signalList.size();
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const DbcConversion conversion =
        convertDbc(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!conversion.ok()) {
        check(conversion.error.rfind("line ", 0) == 0, "a refused text names its line");
        check(conversion.document.is_null(), "a refused text yields no document");
        return 0;
    }
    for (const std::string &warning : conversion.warnings)
        check(warning.rfind("message ", 0) == 0, "a warning names its message");
    for (const std::string &deviation : conversion.deviations)
        check(deviation.find("at line ") != std::string::npos, "a deviation names its first line");
    check(!conversion.document["messages"].empty(), "an accepted text holds a message");

    // Writing throws on text that is not UTF-8, which libFuzzer reports as a crash.
    std::istringstream written(conversion.document.dump(2));
    const Candb candb = readCandb(written);
    check(candb.ok(), "the Candb reader accepts the document");
    check(candb.messages.size() == conversion.document["messages"].size(), "every message is read");
    check(candbSignals(candb) == documentSignals(conversion.document), "every signal is read");
    return 0;
}
