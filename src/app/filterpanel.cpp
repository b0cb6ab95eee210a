#include "filterpanel.h"

#include "messageboxes.h"

#include <QTextEdit>
#include <QWidget>

namespace {

struct FilterField
{
    QTextEdit *field;
    uint32_t &stored;
    const char *notNumber;
    const char *outOfRange;
};

// A filter half is a 16-bit value typed in decimal; a negative number counts as too large.
bool storeFilterValue(const FilterField &half)
{
    bool isNumber = false;
    const auto value = static_cast<uint32_t>(half.field->toPlainText().toInt(&isNumber, 10));
    if (!isNumber) {
        showError(half.notNumber);
        return false;
    }
    if (value > 0xFFFF) {
        showError(half.outOfRange);
        return false;
    }
    half.stored = value;
    return true;
}

} // namespace

void confirmFilterPanel(const FilterPanel &filter, Conf &bus)
{
    const FilterField halves[] = {
        {filter.idHigh, bus.FilterIdHigh, "IdHigh Error!", "IdHigh Out Of Range Error!"},
        {filter.idLow, bus.FilterIdLow, "IdLow Error!", "IdLow Out Of Range Error!"},
        {filter.maskIdHigh, bus.FilterMaskIdHigh, "MIdHigh Error!", "MIdHigh Out Of Range Error!"},
        {filter.maskIdLow, bus.FilterMaskIdLow, "MIdLow Error!", "MIdLow Out Of Range Error!"},
    };
    bool allStored = true;
    for (const FilterField &half : halves) {
        if (!storeFilterValue(half))
            allStored = false;
    }
    if (allStored)
        filter.panel->setVisible(false);
}
