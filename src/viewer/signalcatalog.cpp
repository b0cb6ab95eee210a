#include "signalcatalog.h"

namespace {

template <typename Test> const CatalogSignal *findSignal(const SignalCatalog &catalog, Test test)
{
    for (const CatalogSignal &column : catalog.columns)
        if (test(column))
            return &column;
    for (const CatalogMessage &message : catalog.messages)
        for (const CatalogSignal &signal : message.signalList)
            if (test(signal))
                return &signal;
    return nullptr;
}

} // namespace

const CatalogSignal *SignalCatalog::find(size_t index) const
{
    return findSignal(*this,
                      [index](const CatalogSignal &signal) { return signal.index == index; });
}

std::optional<size_t> SignalCatalog::indexOf(const QString &name) const
{
    const CatalogSignal *found =
        findSignal(*this, [&name](const CatalogSignal &signal) { return signal.name == name; });
    return found ? std::optional<size_t>(found->index) : std::nullopt;
}
