#pragma once

#include "plot/seriesindex.h"
#include "plot/signalseries.h"
#include "plot/timewindow.h"
#include "plotpainter.h"

#include <QImage>
#include <QWidget>

#include <optional>
#include <vector>

// A signal as the plot holds it: its frames' values, their pyramid, and the spans last drawn.
struct PlottedSignal
{
    size_t index = 0; // as the signal tree names it
    QString name;
    QString unit;
    SignalSeries series;
    SeriesIndex pyramid;
    int color = 0;
    std::vector<PixelSpan> spans;
};

// What the cursor reads of one plotted signal: its latest frame at or before the cursor.
struct CursorReading
{
    QString name;
    QString unit;
    int color = 0;
    std::optional<Sample> sample; // nothing before the signal's first frame
};

// Plotted signals in stacked bands over one time axis, drawn as the plot command draws them,
// with a cursor that reads their values. The wheel zooms around the pointer, dragging pans,
// dragging with Shift zooms to the stretch drawn; Home shows everything, the arrow keys pan
// (left, right) and zoom (up, down). A click pins the cursor, Escape lets it follow the pointer
// again. Signals dragged from the tree join the band they are dropped on, or get a new one.
class PlotView : public QWidget
{
    Q_OBJECT

public:
    explicit PlotView(QWidget *parent = nullptr);

    // Forgets every signal; the time axis spans `extent` from now on, all of it shown.
    void reset(const TimeRange &extent);
    // Adds a signal to `band`, or below the others in a band of its own when `band` is no band's.
    void addSignal(PlottedSignal signal, int band);
    void removeSignal(size_t index);
    bool isPlotted(size_t index) const;
    // The plotted signals' indexes, band by band.
    std::vector<std::vector<size_t>> bands() const;

    const TimeWindow &timeWindow() const { return window; }
    const TimeRange &extent() const { return dataExtent; }
    void showRange(double from, double to);
    void showAll();
    void zoomAround(double seconds, double factor);
    void pan(double fraction);

    void pinCursor(double seconds);
    std::optional<double> cursor() const { return pinned ? pinned : following; }
    // Each plotted signal's value at `seconds`, band by band.
    std::vector<CursorReading> readout(double seconds) const;
    // The time under a point of the widget, when the point is over the plot.
    std::optional<double> timeAt(QPoint point) const;

    // What is shown, without the cursor, as a PNG or SVG file's bytes; empty without signals.
    QByteArray exportImage(bool svg);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    // Signals dropped onto the plot, for `band` (-1: a new band).
    void signalsDropped(const std::vector<size_t> &indexes, int band);
    void signalsChanged();
    void windowChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    PlotLayout layout() const;
    int bandAt(QPoint point) const;
    int freeColor() const;
    void setWindow(const TimeWindow &moved);
    void invalidate();
    PlotPicture picture();
    void drawCursor(QPainter &painter, double seconds) const;
    void drawDropTarget(QPainter &painter) const;
    void drawHint(QPainter &painter) const;

    std::vector<std::vector<PlottedSignal>> bandList;
    TimeRange dataExtent;
    TimeWindow window;
    QImage drawn; // the bands as last drawn; null when out of date
    std::optional<double> pinned;
    std::optional<double> following;
    // A press of the left button: where, and the window then; moved once it became a drag.
    QPoint pressedAt;
    TimeWindow windowAtPress;
    bool pressed = false;
    bool dragging = false;
    bool choosingStretch = false;
    QPoint stretchEnd;
    std::optional<int> dropBand; // while signals are dragged over the plot; -1 for a new band
};
