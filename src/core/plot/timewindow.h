#pragma once

#include "plot/plotdata.h"

// The stretch of time a plot shows, in seconds, and how the user moves it: zoom around a point,
// pan by a share of the width, zoom to a stretch, show everything. The moves keep the window
// inside the data's extent and no narrower than kSmallestSpan.
struct TimeWindow
{
    static constexpr double kSmallestSpan = 10e-6;

    double from = 0;
    double to = 1;

    double span() const { return to - from; }
    // The time at `fraction` (0 at the left edge, 1 at the right one) and back.
    double secondsAt(double fraction) const { return from + fraction * span(); }
    double fractionOf(double seconds) const { return (seconds - from) / span(); }

    // Makes the span `factor` times as wide (below 1 zooms in), `seconds` staying at the same
    // fraction of the width; then keeps the window inside `extent`.
    void zoomAround(double seconds, double factor, const TimeRange &extent);
    // Moves the window by `fraction` of its width (negative: towards earlier times), inside
    // `extent`; the span stays.
    void pan(double fraction, const TimeRange &extent);
    // Shows `from` to `to` (in either order), inside `extent`.
    void zoomTo(double first, double second, const TimeRange &extent);
    // Shows the whole extent.
    void showAll(const TimeRange &extent);
    // Moves the window inside `extent`, keeping its span where the extent is wide enough; widens
    // a window narrower than kSmallestSpan around its middle.
    void clampTo(const TimeRange &extent);
};
