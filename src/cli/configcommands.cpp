#include "configcommands.h"

#include "commandline.h"
#include "configgeneration.h"
#include "configinspection.h"
#include "configrules.h"
#include "databaseinput.h"
#include "logfile.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

constexpr char kDefaultConfigName[] = "config.qvc";

// ---- make-config ---------------------------------------------------------------------------

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
         "Bus 1 off, or on at a bit rate: " +
             QString::fromStdString(bitRateList()).replace(',', ", ") + " (default off).",
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
         kDefaultConfigName},
    });
}

// A usage problem of the options, or an empty text.
QString optionMismatch(const QCommandLineParser &parser)
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
    return {rate != "off", rate, !silent, silent};
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
    std::copy(halves.begin(), halves.end(), filter.halves.begin());
    return filter;
}

// The signal the window's list would select under the name, or an empty one after reporting why
// there is none: then the generation reports that no signal was chosen.
Signal chosenSignal(const QString &candbPath, const QString &name)
{
    const CandbFile file = readDatabaseInput(candbPath);
    if (!file.document) {
        report(candbPath + ": " + invalidCandbText(file.problem));
        return {};
    }
    const std::map<std::string, Signal> listed = triggerSignals(readCandb(*file.document));
    const auto found = listed.find(name.toStdString());
    if (found != listed.end())
        return found->second;
    std::vector<QString> names;
    for (const auto &entry : listed)
        names.push_back(QString::fromStdString(entry.first));
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
    trigger.idText = parser.value("id");
    trigger.extended = parser.isSet("extended");
    trigger.standard = !trigger.extended;
    if (trigger.signal) {
        trigger.chosen = chosenSignal(parser.value("candb"), parser.value("signal"));
        trigger.comparison = *comparisonCode(parser.value("compare"));
        trigger.valueText = parser.value("value");
    }
    return trigger;
}

// A folder, such as a card's mount point, gets the file under its usual name.
QString outputFile(const QString &output)
{
    return QFileInfo(output).isDir() ? output + '/' + kDefaultConfigName : output;
}

int writeConfig(const QString &path, const Config &record)
{
    if (!writeConfigFile(QFile::encodeName(path).toStdString(), record)) {
        report(path + ": Errore nella creazione del file!");
        return kExitFailure;
    }
    report(path + ": Config write correctly!");
    return kExitSuccess;
}

// ---- show-config ---------------------------------------------------------------------------

QString hex(uint64_t value, int digits)
{
    return "0x" + QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

QString filterRegisterText(const FilterRegister &reading)
{
    return QString("%1 = %2 identifier %3")
        .arg(hex(reading.word, 8), reading.extended ? "extended" : "standard",
             hex(reading.id, reading.extended ? 8 : 3));
}

QString busText(int index, const Conf &bus)
{
    const std::optional<uint32_t> rate = bitRateForPrescaler(bus.CAN_pre);
    QString speed;
    if (bus.canEn == 1)
        speed = rate ? QString("%1 bit/s, ").arg(*rate) : QString("bit rate unknown, ");
    QString text = QString("CAN%1: %2, %3prescaler %4, %5\n")
                       .arg(index + 1)
                       .arg(bus.canEn == 1 ? "on" : "off", speed)
                       .arg(bus.CAN_pre)
                       .arg(bus.canMode == 1 ? "silent" : "normal");
    const bool list = bus.maskMode == 1;
    text += QString("  filter: %1 mode\n").arg(list ? "list" : "mask");
    const std::pair<const char *, uint32_t> halves[] = {
        {"FilterIdHigh", bus.FilterIdHigh},
        {"FilterIdLow", bus.FilterIdLow},
        {"FilterMaskIdHigh", bus.FilterMaskIdHigh},
        {"FilterMaskIdLow", bus.FilterMaskIdLow},
    };
    for (const auto &[name, value] : halves)
        text += QString("    %1 %2 (%3)\n")
                    .arg(QString(name).leftJustified(17))
                    .arg(value)
                    .arg(hex(value, 4));
    text += QString("    %1 %2\n")
                .arg(QString(list ? "identifier 1" : "identifier").leftJustified(17),
                     filterRegisterText(readFilterRegister(bus.FilterIdHigh, bus.FilterIdLow)));
    text +=
        QString("    %1 %2\n")
            .arg(QString(list ? "identifier 2" : "mask").leftJustified(17),
                 filterRegisterText(readFilterRegister(bus.FilterMaskIdHigh, bus.FilterMaskIdLow)));
    return text;
}

QString line(const char *name, const QString &value)
{
    return QString("  %1 %2\n").arg(QString(name).leftJustified(17), value);
}

QString comparisonText(uint8_t code)
{
    return code < kComparisons.size() ? QString(kComparisons[code])
                                      : QString("unknown (%1)").arg(code);
}

QString identifierText(uint32_t word, uint8_t isExt)
{
    const uint32_t id = word & ~kExtendedIdFlag;
    return QString("%1 (%2), %3")
        .arg(hex(id, isExt == 1 ? 8 : 3))
        .arg(id)
        .arg(isExt == 1 ? "extended" : "standard");
}

// The Candb signals that sit where the trigger's bits are; the first is the one named.
std::vector<Signal> matchingSignals(const Candb &candb, const SignalSTM32 &trigger)
{
    std::vector<Signal> found;
    for (const CandbMessage &message : candb.messages) {
        for (const Signal &sig : message.signalList) {
            if (sig.ID == trigger.ID && sig.start_bit == trigger.start_bit &&
                sig.size == trigger.size && sig.is_signed == (trigger.is_signed == 1) &&
                sig.is_little_endian == (trigger.is_little_endian == 1))
                found.push_back(sig);
        }
    }
    return found;
}

QString namedSignalText(const Candb &candb, const SignalSTM32 &trigger)
{
    const std::vector<Signal> found = matchingSignals(candb, trigger);
    if (found.empty())
        return line("signal", "none of the Candb file's signals lies there");
    const Signal &sig = found.front();
    const double physical = double(trigger.rawValue) * sig.factor + sig.offset;
    return line("signal", QString::fromStdString(sig.name)) +
           line("physical value", QString::number(physical, 'g', 15));
}

QString triggerText(const SignalSTM32 &trigger, const std::optional<Candb> &candb)
{
    switch (trigger.mode) {
    case kTriggerModeAlways:
        return "trigger: always\n";
    case kTriggerModeId:
        return "trigger: identifier " + identifierText(trigger.ID, trigger.isExt) + "\n";
    case kTriggerModeSignal:
        break;
    default:
        return QString("trigger: unknown kind %1\n").arg(trigger.mode);
    }
    QString text = "trigger: signal\n";
    text += line("message", identifierText(trigger.ID, trigger.isExt));
    text += line("data length", QString::number(trigger.DLC));
    text += line("start bit", QString::number(trigger.start_bit));
    text += line("msb", QString::number(trigger.msb));
    text += line("lsb", QString::number(trigger.lsb));
    text += line("size", QString::number(trigger.size));
    text += line("signed", trigger.is_signed == 1 ? "yes" : "no");
    text += line("byte order",
                 trigger.is_little_endian == 1 ? "little-endian (intel)" : "big-endian (motorola)");
    text += line("comparison", comparisonText(trigger.operation));
    text += line("raw value", QString::number(trigger.rawValue));
    if (candb)
        text += namedSignalText(*candb, trigger);
    return text;
}

// The 96 bytes of a regular file, or nothing after reporting why not.
std::optional<ConfigImage> readConfigImage(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        report(path + ": " + (info.exists() ? "not a regular file" : "no such file"));
        return std::nullopt;
    }
    if (info.size() != qint64(kConfigFileSize)) {
        report(QString("%1: %2 bytes, not the %3 of a configuration file")
                   .arg(path)
                   .arg(info.size())
                   .arg(kConfigFileSize));
        return std::nullopt;
    }
    QFile file(path);
    ConfigImage image{};
    if (!file.open(QIODevice::ReadOnly) ||
        file.read(reinterpret_cast<char *>(image.data()), qint64(image.size())) !=
            qint64(image.size())) {
        report(path + ": cannot be read");
        return std::nullopt;
    }
    return image;
}

// The Candb file of --candb, or nothing after reporting why it is refused.
std::optional<Candb> readNamingCandb(const QString &path)
{
    const CandbFile file = readDatabaseInput(path);
    if (!file.document) {
        report(path + ": " + invalidCandbText(file.problem));
        return std::nullopt;
    }
    return readCandb(*file.document);
}

} // namespace

int runMakeConfig(const QStringList &arguments)
{
    CommandLine command("make-config",
                        "Writes the logger's configuration file, with the Configurator's checks.");
    addMakeConfigOptions(command.parser);
    if (const std::optional<int> done = command.parse(arguments))
        return *done;
    const QCommandLineParser &parser = command.parser;
    if (const QString mismatch = optionMismatch(parser); !mismatch.isEmpty())
        return command.usageError(mismatch);

    ConfigRequest request;
    for (int bus = 0; bus < 2; ++bus) {
        const QString number = QString::number(bus + 1);
        request.buses[bus] = busEntry(parser.value("can" + number), parser.value("mode" + number));
        request.filters[bus] = filterEntry(parser.value("filter" + number));
        if (!request.filters[bus])
            return command.usageError("--filter" + number +
                                      " must be mask:A,B,C,D or list:A,B,C,D");
    }
    request.output = outputFile(parser.value("output"));
    request.trigger = triggerEntry(parser);

    // The command line starts from a blank record each time; the window keeps its own.
    const ConfigGeneration generation = generateConfig(request, Config{});
    for (const QString &message : generation.messages)
        report(message);
    if (!generation.ok())
        return kExitFailure;
    return writeConfig(request.output, generation.record);
}

int runShowConfig(const QStringList &arguments)
{
    CommandLine command("show-config", "Prints what a logger configuration file holds.");
    command.parser.addOption(
        {"candb", "Names the trigger's signal and its value from this Candb file.", "DB.json"});
    command.parser.addPositionalArgument("FILE", "The configuration file (config.qvc).");
    if (const std::optional<int> done = command.parse(arguments))
        return *done;
    const QStringList files = command.parser.positionalArguments();
    if (files.size() != 1)
        return command.usageError(files.isEmpty() ? "no configuration file given"
                                                  : "only one configuration file at a time");

    std::optional<Candb> candb;
    if (command.parser.isSet("candb")) {
        candb = readNamingCandb(command.parser.value("candb"));
        if (!candb)
            return kExitFailure;
    }
    const std::optional<ConfigImage> image = readConfigImage(files.first());
    if (!image)
        return kExitFailure;

    const Config config = deserializeConfig(*image);
    print(busText(0, config.conf[0]) + busText(1, config.conf[1]) +
          triggerText(config.trigStm32, candb));
    const std::vector<ConfigAnomaly> anomalies = findConfigAnomalies(*image);
    for (const ConfigAnomaly &anomaly : anomalies)
        report(QString("%1: offset %2: %3 is %4, never written by the Configurator (%5)")
                   .arg(files.first())
                   .arg(anomaly.offset)
                   .arg(anomaly.field)
                   .arg(anomaly.value)
                   .arg(anomaly.expected));
    return anomalies.empty() ? kExitSuccess : kExitFailure;
}
