#include "filterpanel.h"

#include "config/configgeneration.h"
#include "messageboxes.h"

#include <QTextEdit>
#include <QWidget>

void confirmFilterPanel(const FilterPanel &filter, Conf &bus)
{
    const std::array<QString, 4> halves = {
        filter.idHigh->toPlainText(), filter.idLow->toPlainText(), filter.maskIdHigh->toPlainText(),
        filter.maskIdLow->toPlainText()};
    const QStringList messages = enterFilterHalves(halves, bus);
    for (const QString &message : messages)
        showError(message);
    if (messages.isEmpty())
        filter.panel->setVisible(false);
}
