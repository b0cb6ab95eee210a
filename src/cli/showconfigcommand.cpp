#include "configcommands.h"

#include "commandline.h"
#include "config/configinspection.h"
#include "config/configrules.h"
#include "corestrings.h"
#include "database/signalcodec.h"
#include "databaseinput.h"
#include "log/logfile.h"
#include "text/numbertext.h"

#include <optional>

namespace {

QString filterRegisterText(const FilterRegister &reading)
{
    return QString("%1 = %2 identifier %3")
        .arg(qtText(hexNumber(reading.word, 8)), reading.extended ? "extended" : "standard",
             qtText(hexIdentifier(reading.id, reading.extended)));
}

// One named value, its name in a column, indented by `depth` steps.
QString row(int depth, const QString &name, const QString &value)
{
    return QString(2 * depth, ' ') + name.leftJustified(17) + ' ' + value + '\n';
}

QString busHeading(int index, const Conf &bus)
{
    QString speed;
    if (bus.canEn == 1) {
        const std::optional<uint32_t> rate = bitRateForPrescaler(bus.CAN_pre);
        speed = rate ? QString("%1 bit/s, ").arg(*rate) : QString("bit rate unknown, ");
    }
    return QString("CAN%1: %2, %3prescaler %4, %5\n")
        .arg(index + 1)
        .arg(bus.canEn == 1 ? "on" : "off", speed)
        .arg(bus.CAN_pre)
        .arg(bus.canMode == 1 ? "silent" : "normal");
}

// The four halves, then the two registers they make: identifier and mask, or two identifiers.
QString filterText(const Conf &bus)
{
    const bool list = bus.maskMode == 1;
    QString text = QString("  filter: %1 mode\n").arg(list ? "list" : "mask");
    const std::pair<const char *, uint32_t> halves[] = {
        {"FilterIdHigh", bus.FilterIdHigh},
        {"FilterIdLow", bus.FilterIdLow},
        {"FilterMaskIdHigh", bus.FilterMaskIdHigh},
        {"FilterMaskIdLow", bus.FilterMaskIdLow},
    };
    for (const auto &[name, value] : halves)
        text += row(2, name, QString("%1 (%2)").arg(value).arg(qtText(hexNumber(value, 4))));
    const FilterRegister first = readFilterRegister(bus.FilterIdHigh, bus.FilterIdLow);
    const FilterRegister second = readFilterRegister(bus.FilterMaskIdHigh, bus.FilterMaskIdLow);
    text += row(2, list ? "identifier 1" : "identifier", filterRegisterText(first));
    text += row(2, list ? "identifier 2" : "mask", filterRegisterText(second));
    return text;
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
        .arg(qtText(hexIdentifier(id, isExt == 1)))
        .arg(id)
        .arg(isExt == 1 ? "extended" : "standard");
}

// The first Candb signal that sits on the trigger's bits, as the logger compares them.
const Signal *signalAt(const Candb &candb, const SignalSTM32 &trigger)
{
    for (const CandbMessage &message : candb.messages) {
        for (const Signal &sig : message.signalList) {
            if (sig.ID == trigger.ID && sig.start_bit == trigger.start_bit &&
                sig.size == trigger.size && sig.is_signed == (trigger.is_signed == 1) &&
                sig.is_little_endian == (trigger.is_little_endian == 1))
                return &sig;
        }
    }
    return nullptr;
}

QString namedSignalText(const Candb &candb, const SignalSTM32 &trigger)
{
    const Signal *sig = signalAt(candb, trigger);
    if (!sig)
        return row(1, "signal", "none of the Candb file's signals lies there");
    const double physical = physicalValue(*sig, trigger.rawValue);
    return row(1, "signal", qtText(sig->name)) +
           row(1, "physical value", QString::number(physical, 'g', 15));
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
    text += row(1, "message", identifierText(trigger.ID, trigger.isExt));
    text += row(1, "data length", QString::number(trigger.DLC));
    text += row(1, "start bit", QString::number(trigger.start_bit));
    text += row(1, "msb", QString::number(trigger.msb));
    text += row(1, "lsb", QString::number(trigger.lsb));
    text += row(1, "size", QString::number(trigger.size));
    text += row(1, "signed", trigger.is_signed == 1 ? "yes" : "no");
    text += row(1, "byte order",
                trigger.is_little_endian == 1 ? "little-endian (intel)" : "big-endian (motorola)");
    text += row(1, "comparison", comparisonText(trigger.operation));
    text += row(1, "raw value", QString::number(trigger.rawValue));
    if (candb)
        text += namedSignalText(*candb, trigger);
    return text;
}

// The 96 bytes of the file, or nothing after reporting why not.
std::optional<ConfigImage> readConfigImage(const QString &path)
{
    const ConfigFileReading reading = readConfigFile(nativePath(path));
    if (!reading.image)
        report(path + ": " + qtText(reading.problem));
    return reading.image;
}

} // namespace

int runShowConfig(const QStringList &arguments)
{
    CommandLine line("show-config", "Prints what a logger configuration file holds.");
    line.parser.addOption(
        {"candb", "Names the trigger's signal and its value from this Candb file.", "DB.json"});
    line.parser.addPositionalArgument("FILE", "The configuration file (config.qvc).");
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    const QStringList files = line.parser.positionalArguments();
    if (files.size() != 1)
        return line.usageError(files.isEmpty() ? "no configuration file given"
                                               : "only one configuration file at a time");

    std::optional<Candb> candb;
    if (line.parser.isSet("candb")) {
        candb = loadDatabase(line.parser.value("candb"));
        if (!candb)
            return kExitFailure;
    }
    const std::optional<ConfigImage> image = readConfigImage(files.first());
    if (!image)
        return kExitFailure;

    const Config config = deserializeConfig(*image);
    QString text;
    for (int bus = 0; bus < 2; ++bus)
        text += busHeading(bus, config.conf[bus]) + filterText(config.conf[bus]);
    print(text + triggerText(config.trigStm32, candb));
    const std::vector<ConfigAnomaly> anomalies = findConfigAnomalies(*image);
    for (const ConfigAnomaly &anomaly : anomalies)
        report(QString("%1: offset %2: %3 is %4, never written by the Configurator (%5)")
                   .arg(files.first())
                   .arg(anomaly.offset)
                   .arg(qtText(anomaly.field))
                   .arg(anomaly.value)
                   .arg(qtText(anomaly.expected)));
    return anomalies.empty() ? kExitSuccess : kExitFailure;
}
