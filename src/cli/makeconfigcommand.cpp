#include "configcommands.h"

#include "commandline.h"
#include "config/configgeneration.h"
#include "config/configrules.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "databaseinput.h"

#include <QFileInfo>

#include <optional>

namespace {

// The comparison words, by code; the letter forms spare the shell's quoting.
constexpr const char *kComparisonWords[6] = {"gt", "lt", "eq", "ne", "ge", "le"};

std::optional<uint8_t> comparisonCode(const QString &text)
{
    for (uint8_t code = 0; code < kComparisons.size(); ++code) {
        if (text == kComparisons[code] || text == kComparisonWords[code])
            return code;
    }
    return std::nullopt;
}

void addMakeConfigOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {"can1",
         "Bus 1 off, or on at a bit rate: " + qtText(bitRateList()).replace(',', ", ") +
             " (default off).",
         "off|RATE", "off"},
        {"can2", "Bus 2, likewise.", "off|RATE", "off"},
        {"mode1", "Bus 1 normal, or silent (listen only); default normal.", "normal|silent",
         "normal"},
        {"mode2", "Bus 2, likewise.", "normal|silent", "normal"},
        {"filter1",
         "Bus 1 acceptance filter: identifier and mask, or two identifiers, as 16-bit halves "
         "(high,low,high,low) from 0 to 65535 (default mask:0,0,0,0).",
         "mask:A,B,C,D|list:A,B,C,D", "mask:0,0,0,0"},
        {"filter2", "Bus 2, likewise.", "mask:A,B,C,D|list:A,B,C,D", "mask:0,0,0,0"},
        {"trigger", "What starts recording (default always).", "always|id|signal", "always"},
        {"id", "Identifier trigger: the identifier, decimal.", "N"},
        {"extended", "Identifier trigger: the identifier is extended (29 bits)."},
        {"candb", "Signal trigger: the Candb file that defines the signal.", "DB.json"},
        {"signal", "Signal trigger: the signal's name.", "NAME"},
        {"compare", "Signal trigger: >, <, ==, !=, >=, <= (or gt, lt, eq, ne, ge, le).", "OP"},
        {"value", "Signal trigger: the physical value to compare with.", "V"},
        {{"o", "output"},
         "The file to write, or a folder to write config.qvc into.",
         "FILE",
         kConfigFileName},
        {"quiet", "No closing line; only problems are reported."},
    });
}

// The trigger's options belong to one kind each; the kinds that need them need all of them.
QString triggerOptionMismatch(const QCommandLineParser &parser)
{
    const QString trigger = parser.value("trigger");
    if (trigger != "always" && trigger != "id" && trigger != "signal")
        return "--trigger must be always, id or signal, not '" + trigger + "'";
    const QStringList idOptions = {"id", "extended"};
    const QStringList signalOptions = {"candb", "signal", "compare", "value"};
    for (const QString &option : idOptions + signalOptions) {
        const QString owner = idOptions.contains(option) ? "id" : "signal";
        if (parser.isSet(option) && trigger != owner)
            return QString("--%1 needs --trigger %2").arg(option, owner);
    }
    if (trigger == "id" && !parser.isSet("id"))
        return "--trigger id needs --id";
    for (const QString &option : signalOptions) {
        if (trigger == "signal" && !parser.isSet(option))
            return "--trigger signal needs --" + option;
    }
    if (parser.isSet("compare") && !comparisonCode(parser.value("compare")))
        return "--compare must be one of > < == != >= <= gt lt eq ne ge le";
    return {};
}

// A usage problem of the options, or an empty text.
QString optionMismatch(const QCommandLineParser &parser)
{
    if (const QString mismatch = triggerOptionMismatch(parser); !mismatch.isEmpty())
        return mismatch;
    for (const char *option : {"mode1", "mode2"}) {
        const QString mode = parser.value(option);
        if (mode != "normal" && mode != "silent")
            return QString("--%1 must be normal or silent, not '%2'").arg(option, mode);
    }
    if (parser.value("output").isEmpty())
        return "--output needs a file name";
    if (!parser.positionalArguments().isEmpty())
        return "unexpected argument '" + parser.positionalArguments().first() + "'";
    return {};
}

BusEntry busEntry(const QString &rate, const QString &mode)
{
    const bool silent = mode == "silent";
    return {rate != "off", coreText(rate), !silent, silent};
}

// "mask:A,B,C,D" or "list:A,B,C,D". The four texts are checked by the generation, as the filter
// panel checks its fields.
std::optional<FilterEntry> filterEntry(const QString &text)
{
    const int colon = text.indexOf(':');
    const QString mode = text.left(colon);
    const QStringList halves = text.mid(colon + 1).split(',');
    if (colon < 0 || (mode != "mask" && mode != "list") || halves.size() != 4)
        return std::nullopt;
    FilterEntry filter;
    filter.listMode = mode == "list";
    std::transform(halves.begin(), halves.end(), filter.halves.begin(), coreText);
    return filter;
}

// The signal the window's list would select under the name, or an empty one after reporting why
// there is none: then the generation reports that no signal was chosen.
Signal chosenSignal(const QString &candbPath, const QString &name)
{
    const std::optional<Candb> candb = loadDatabase(candbPath);
    if (!candb)
        return {};
    const std::map<std::string, Signal> listed = signalsByName(*candb);
    const auto found = listed.find(coreText(name));
    if (found != listed.end())
        return found->second;
    std::vector<QString> names;
    for (const auto &entry : listed)
        names.push_back(qtText(entry.first));
    report(QString("%1: no signal '%2'; the Candb file has: %3")
               .arg(candbPath, name, names.empty() ? "none" : listNames(names)));
    return {};
}

TriggerEntry triggerEntry(const QCommandLineParser &parser)
{
    const QString kind = parser.value("trigger");
    TriggerEntry trigger;
    trigger.always = kind == "always";
    trigger.id = kind == "id";
    trigger.signal = kind == "signal";
    trigger.idText = coreText(parser.value("id"));
    trigger.extended = parser.isSet("extended");
    trigger.standard = !trigger.extended;
    if (trigger.signal) {
        trigger.chosen = chosenSignal(parser.value("candb"), parser.value("signal"));
        trigger.comparison = *comparisonCode(parser.value("compare"));
        trigger.valueText = coreText(parser.value("value"));
    }
    return trigger;
}

// A folder, such as a card's mount point, gets the file under its usual name.
QString outputFile(const QString &output)
{
    return QFileInfo(output).isDir() ? output + '/' + kConfigFileName : output;
}

int writeConfig(const QString &path, const Config &record, bool quiet)
{
    if (!writeConfigFile(nativePath(path), record)) {
        report(path + ": " + kFileNotCreated);
        return kExitFailure;
    }
    if (!quiet)
        report(path + ": " + kConfigWritten);
    return kExitSuccess;
}

} // namespace

int runMakeConfig(const QStringList &arguments)
{
    CommandLine line("make-config",
                     "Writes the logger's configuration file, with the Configurator's checks.");
    addMakeConfigOptions(line.parser);
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    const QCommandLineParser &parser = line.parser;
    if (const QString mismatch = optionMismatch(parser); !mismatch.isEmpty())
        return line.usageError(mismatch);

    ConfigRequest request;
    for (int bus = 0; bus < 2; ++bus) {
        const QString number = QString::number(bus + 1);
        request.buses[bus] = busEntry(parser.value("can" + number), parser.value("mode" + number));
        request.filters[bus] = filterEntry(parser.value("filter" + number));
        if (!request.filters[bus])
            return line.usageError("--filter" + number + " must be mask:A,B,C,D or list:A,B,C,D");
    }
    const QString output = outputFile(parser.value("output"));
    request.output = nativePath(output);
    request.trigger = triggerEntry(parser);

    // The command line starts from a blank record each time; the window keeps its own.
    const ConfigGeneration generation = generateConfig(request, Config{});
    for (const std::string &message : generation.messages)
        report(qtText(message));
    if (!generation.ok())
        return kExitFailure;
    return writeConfig(output, generation.record, parser.isSet("quiet"));
}
