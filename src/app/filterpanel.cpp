#include "filterpanel.h"

#include "config/configgeneration.h"
#include "corestrings.h"
#include "messageboxes.h"

#include <QTextEdit>
#include <QWidget>

void confirmFilterPanel(const FilterPanel &filter, Conf &bus)
{
    const std::array<std::string, 4> halves = {
        coreText(filter.idHigh->toPlainText()), coreText(filter.idLow->toPlainText()),
        coreText(filter.maskIdHigh->toPlainText()), coreText(filter.maskIdLow->toPlainText())};
    const QStringList messages = qtTexts(enterFilterHalves(halves, bus));
    for (const QString &message : messages)
        showError(message);
    if (messages.isEmpty())
        filter.panel->setVisible(false);
}
