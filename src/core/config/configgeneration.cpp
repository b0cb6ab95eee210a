#include "config/configgeneration.h"

#include "config/configrules.h"
#include "text/numbertext.h"

namespace {

// The messages that name a bus.
struct BusTexts
{
    const char *insertSpeed;
    const char *speedNotNumber;
    const char *wrongSpeed;
};

constexpr BusTexts kBusTexts[2] = {
    {"Insert Speed1!", "Speed1 not number!", "Wrong Can speed1!"},
    {"Insert Speed2", "Speed2 not number!", "Wrong Can speed2!"},
};

// One run of the checks. Every check goes on after a failure so that all problems are reported
// at once; the record keeps what the checks before and after a failure wrote.
class Generator
{
public:
    Generator(const ConfigRequest &request, const Config &start) : request(request)
    {
        result.record = start;
    }

    ConfigGeneration run();

private:
    void fail(const std::string &message) { result.messages.push_back(message); }
    void enterFilters();
    void readBusSpeed(int bus);
    void readBusMode(int bus);
    void readSignalTrigger();
    void readIdTrigger();
    void setBitTiming(int bus);

    const ConfigRequest &request;
    ConfigGeneration result;
    // An unchecked speed counts as 500000, so a bus whose speed failed gets no second message.
    uint32_t bitRate[2] = {500000, 500000};
};

ConfigGeneration Generator::run()
{
    enterFilters();
    for (Conf &bus : result.record.conf)
        bus.CAN_pre = kDisabledBusPrescaler;

    if (!request.buses[0].enabled && !request.buses[1].enabled)
        fail("Select at least 1 Bus!");
    for (int bus = 0; bus < 2; ++bus)
        readBusSpeed(bus);
    for (int bus = 0; bus < 2; ++bus)
        readBusMode(bus);

    const TriggerEntry &trigger = request.trigger;
    if (!trigger.always && !trigger.id && !trigger.signal)
        fail("Select trigger mode!");
    if (trigger.signal)
        readSignalTrigger();
    if (trigger.always)
        setAlwaysTrigger(result.record.trigStm32);
    // After "Always": with both checked the identifier trigger wins.
    if (trigger.id)
        readIdTrigger();

    for (int bus = 0; bus < 2; ++bus)
        setBitTiming(bus);
    if (request.output.empty())
        fail("Output folder not selected!");
    return result;
}

void Generator::enterFilters()
{
    for (int bus = 0; bus < 2; ++bus) {
        const std::optional<FilterEntry> &filter = request.filters[bus];
        if (!filter)
            continue;
        Conf &conf = result.record.conf[bus];
        conf.maskMode = filter->listMode ? 1 : 0;
        // The window's texts are the same for both panels; here they say which bus they are about.
        for (const std::string &message : enterFilterHalves(filter->halves, conf))
            fail("CAN" + std::to_string(bus + 1) + " filter: " + message);
    }
}

void Generator::readBusSpeed(int bus)
{
    const BusEntry &entry = request.buses[bus];
    Conf &conf = result.record.conf[bus];
    if (!entry.enabled) {
        conf.canEn = 0;
        return;
    }
    if (entry.speed.empty()) {
        fail(kBusTexts[bus].insertSpeed);
        return;
    }
    const std::optional<int> speed = readWholeNumber(entry.speed);
    if (!speed) {
        fail(kBusTexts[bus].speedNotNumber);
        return;
    }
    conf.canEn = 1;
    // A negative speed becomes a huge rate that the bit-rate table refuses.
    bitRate[bus] = static_cast<uint32_t>(*speed);
}

void Generator::readBusMode(int bus)
{
    const BusEntry &entry = request.buses[bus];
    if (entry.normal)
        result.record.conf[bus].canMode = 0;
    if (entry.silent)
        result.record.conf[bus].canMode = 1;
}

// Without a chosen signal the value is still checked for being a number, but there is no range
// to check it against.
void Generator::readSignalTrigger()
{
    const TriggerEntry &trigger = request.trigger;
    const Signal &sig = trigger.chosen;
    const bool signalChosen = !sig.name.empty();
    if (!signalChosen)
        fail("Trigger signal not selected!");
    const std::optional<double> value = readDecimalNumber(trigger.valueText);
    if (!value) {
        fail("Sig value is not a number!");
        return;
    }
    if (!signalChosen)
        return;
    // The logger compares bit numbers of 8 bits: a signal past the logged bytes would be
    // compared on other bits.
    const bool fits = fitsLoggedFrame(sig);
    if (!fits)
        fail("Trigger signal out of the frame!");
    const std::optional<int64_t> raw = triggerRawValue(sig, *value);
    if (!raw) {
        fail("Value out of scale!");
        result.valueRefused = true;
    }
    if (fits && raw)
        setSignalTrigger(result.record.trigStm32, sig, *raw, trigger.comparison);
}

void Generator::readIdTrigger()
{
    const TriggerEntry &trigger = request.trigger;
    const std::optional<int> number = readWholeNumber(trigger.idText);
    if (!number) {
        fail("Id trigger not valid!");
        return;
    }
    SignalSTM32 &record = result.record.trigStm32;
    if (trigger.extended) {
        if (const std::optional<uint32_t> id = extendedTriggerId(*number))
            setIdTrigger(record, *id, true);
        else
            fail("Id Ext trigger not in range!");
    }
    if (trigger.standard) {
        if (const std::optional<uint32_t> id = standardTriggerId(*number))
            setIdTrigger(record, *id, false);
        else
            fail("Id Std trigger not in range!");
    }
}

void Generator::setBitTiming(int bus)
{
    Conf &conf = result.record.conf[bus];
    conf.CAN_BS1 = kCanBs1;
    conf.CAN_BS2 = kCanBs2;
    if (conf.canEn != 1)
        return;
    if (const std::optional<uint16_t> prescaler = prescalerForBitRate(bitRate[bus]))
        conf.CAN_pre = *prescaler;
    else
        fail(std::string(kBusTexts[bus].wrongSpeed) + "\nSpeed available:\n" + bitRateList());
}

struct FilterHalf
{
    uint32_t Conf::*field;
    const char *notNumber;
    const char *outOfRange;
};

constexpr FilterHalf kFilterHalves[4] = {
    {&Conf::FilterIdHigh, "IdHigh Error!", "IdHigh Out Of Range Error!"},
    {&Conf::FilterIdLow, "IdLow Error!", "IdLow Out Of Range Error!"},
    {&Conf::FilterMaskIdHigh, "MIdHigh Error!", "MIdHigh Out Of Range Error!"},
    {&Conf::FilterMaskIdLow, "MIdLow Error!", "MIdLow Out Of Range Error!"},
};

} // namespace

ConfigGeneration generateConfig(const ConfigRequest &request, const Config &start)
{
    return Generator(request, start).run();
}

std::vector<std::string> enterFilterHalves(const std::array<std::string, 4> &halves, Conf &bus)
{
    std::vector<std::string> messages;
    for (size_t i = 0; i < halves.size(); ++i) {
        // A filter half is a 16-bit value typed in decimal; a negative number counts as too large.
        const std::optional<int> number = readWholeNumber(halves[i]);
        const auto value = static_cast<uint32_t>(number.value_or(0));
        if (!number)
            messages.push_back(kFilterHalves[i].notNumber);
        else if (value > 0xFFFF)
            messages.push_back(kFilterHalves[i].outOfRange);
        else
            bus.*kFilterHalves[i].field = value;
    }
    return messages;
}
