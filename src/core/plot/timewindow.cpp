#include "plot/timewindow.h"

#include <algorithm>

void TimeWindow::zoomAround(double seconds, double factor, const TimeRange &extent)
{
    const double fraction = fractionOf(seconds);
    const double wanted = std::max(span() * factor, kSmallestSpan);
    from = seconds - fraction * wanted;
    to = from + wanted;
    clampTo(extent);
}

void TimeWindow::pan(double fraction, const TimeRange &extent)
{
    const double shift = fraction * span();
    from += shift;
    to += shift;
    clampTo(extent);
}

void TimeWindow::zoomTo(double first, double second, const TimeRange &extent)
{
    from = std::min(first, second);
    to = std::max(first, second);
    clampTo(extent);
}

void TimeWindow::showAll(const TimeRange &extent)
{
    from = extent.from;
    to = extent.to;
    clampTo(extent);
}

void TimeWindow::clampTo(const TimeRange &extent)
{
    if (span() < kSmallestSpan) {
        const double middle = from + span() / 2;
        from = middle - kSmallestSpan / 2;
        to = middle + kSmallestSpan / 2;
    }
    const double width = span();
    if (width >= extent.to - extent.from) {
        // Wider than the data: the data fills it, or sits in its middle when it is shorter than
        // the smallest span.
        const double middle = extent.from + (extent.to - extent.from) / 2;
        from = std::min(extent.from, middle - kSmallestSpan / 2);
        to = std::max(extent.to, middle + kSmallestSpan / 2);
    } else if (from < extent.from) {
        from = extent.from;
        to = from + width;
    } else if (to > extent.to) {
        to = extent.to;
        from = to - width;
    }
}
