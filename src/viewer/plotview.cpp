#include "plotview.h"

#include "conversion/fixedtext.h"
#include "corestrings.h"
#include "signaltree.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDragDistance = 4;   // pixels a press moves before it counts as a drag
constexpr double kWheelZoom = 0.8; // the span after one notch of the wheel, towards you
constexpr double kKeyPan = 0.1;    // of the width, per arrow key
constexpr double kKeyZoom = 0.5;   // the span after the up arrow
constexpr int kReadoutMargin = 8;
constexpr int kPreferredBandHeight = 180;
constexpr int kReadoutPixels = 12;

const QColor kCursorColor(0x40, 0x40, 0x40);
const QColor kDropColor(0x1f, 0x77, 0xb4, 40);
const QColor kStretchColor(0x1f, 0x77, 0xb4, 50);

// A frame's value: whole numbers in all their digits, others to 15 significant digits, which a
// double always holds, so that 0.1 * -14 reads -1.4 and not -1.4000000000000001.
QString valueText(double value)
{
    const bool whole = std::nearbyint(value) == value && std::abs(value) < 1e19;
    return whole ? QString::number(value, 'f', 0) : QString::number(value, 'g', 15);
}

QString readingText(const CursorReading &reading)
{
    if (!reading.sample)
        return reading.name + ": no frame yet";
    QString value = valueText(reading.sample->value);
    if (!reading.unit.isEmpty())
        value += ' ' + reading.unit;
    return QString("%1: %2   (frame at %3 s)")
        .arg(reading.name, value, qtText(microsText(reading.sample->micros)));
}

} // namespace

PlotView::PlotView(QWidget *parent) : QWidget(parent)
{
    setAcceptDrops(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotView::reset(const TimeRange &extent)
{
    bandList.clear();
    dataExtent = extent;
    pinned.reset();
    following.reset();
    window.showAll(dataExtent);
    updateGeometry();
    invalidate();
    Q_EMIT signalsChanged();
    Q_EMIT windowChanged();
}

void PlotView::addSignal(PlottedSignal signal, int band)
{
    signal.color = freeColor();
    if (band >= 0 && size_t(band) < bandList.size())
        bandList[size_t(band)].push_back(std::move(signal));
    else
        bandList.push_back({std::move(signal)});
    updateGeometry();
    invalidate();
    Q_EMIT signalsChanged();
}

void PlotView::removeSignal(size_t index)
{
    for (auto band = bandList.begin(); band != bandList.end(); ++band) {
        const auto found = std::find_if(band->begin(), band->end(), [index](const auto &signal) {
            return signal.index == index;
        });
        if (found == band->end())
            continue;
        band->erase(found);
        if (band->empty())
            bandList.erase(band);
        updateGeometry();
        invalidate();
        Q_EMIT signalsChanged();
        return;
    }
}

bool PlotView::isPlotted(size_t index) const
{
    for (const auto &band : bandList)
        for (const PlottedSignal &signal : band)
            if (signal.index == index)
                return true;
    return false;
}

std::vector<std::vector<size_t>> PlotView::bands() const
{
    std::vector<std::vector<size_t>> indexes;
    for (const auto &band : bandList) {
        indexes.emplace_back();
        for (const PlottedSignal &signal : band)
            indexes.back().push_back(signal.index);
    }
    return indexes;
}

// The lowest colour no plotted signal has, so that a signal keeps its colour while others come
// and go.
int PlotView::freeColor() const
{
    std::vector<bool> used;
    for (const auto &band : bandList)
        for (const PlottedSignal &signal : band) {
            if (size_t(signal.color) >= used.size())
                used.resize(size_t(signal.color) + 1);
            used[size_t(signal.color)] = true;
        }
    return int(std::find(used.begin(), used.end(), false) - used.begin());
}

void PlotView::showRange(double from, double to)
{
    TimeWindow moved = window;
    moved.zoomTo(from, to, dataExtent);
    setWindow(moved);
}

void PlotView::showAll()
{
    TimeWindow moved = window;
    moved.showAll(dataExtent);
    setWindow(moved);
}

void PlotView::zoomAround(double seconds, double factor)
{
    TimeWindow moved = window;
    moved.zoomAround(seconds, factor, dataExtent);
    setWindow(moved);
}

void PlotView::pan(double fraction)
{
    TimeWindow moved = window;
    moved.pan(fraction, dataExtent);
    setWindow(moved);
}

void PlotView::setWindow(const TimeWindow &moved)
{
    if (moved.from == window.from && moved.to == window.to)
        return;
    window = moved;
    invalidate();
    Q_EMIT windowChanged();
}

void PlotView::pinCursor(double seconds)
{
    pinned = seconds;
    update();
}

std::vector<CursorReading> PlotView::readout(double seconds) const
{
    std::vector<CursorReading> readings;
    for (const auto &band : bandList)
        for (const PlottedSignal &signal : band)
            readings.push_back(
                {signal.name, signal.unit, signal.color, sampleAt(signal.series, seconds)});
    return readings;
}

PlotLayout PlotView::layout() const
{
    return PlotLayout(size(), int(std::max<size_t>(bandList.size(), 1)));
}

std::optional<double> PlotView::timeAt(QPoint point) const
{
    if (bandList.empty())
        return std::nullopt;
    const QRectF box = layout().box(0);
    if (point.x() < box.left() || point.x() > box.right())
        return std::nullopt;
    return window.secondsAt((point.x() - box.left()) / box.width());
}

// The band whose labels or box hold the point, or -1.
int PlotView::bandAt(QPoint point) const
{
    const PlotLayout plotLayout = layout();
    for (int band = 0; band < int(bandList.size()); ++band)
        if (plotLayout.labelStrip(band).united(plotLayout.box(band)).contains(point))
            return band;
    return -1;
}

void PlotView::invalidate()
{
    drawn = QImage();
    update();
}

// Each signal reduced to the plot's pixel columns over the window shown.
PlotPicture PlotView::picture()
{
    const PlotLayout plotLayout = layout();
    PlotPicture shown{{}, {}, {window.from, window.to}, {}};
    for (auto &band : bandList) {
        shown.bands.emplace_back();
        for (PlottedSignal &signal : band) {
            signal.pyramid.reduce(signal.series, window.from, window.to, plotLayout.columns(),
                                  signal.spans);
            shown.bands.back().push_back({signal.name, &signal.spans, signal.color});
        }
    }
    return shown;
}

QByteArray PlotView::exportImage(bool svg)
{
    if (bandList.empty())
        return {};
    const PlotLayout plotLayout = layout();
    const PlotPicture shown = picture();
    return svg ? renderSvg(plotLayout, shown) : renderPng(plotLayout, shown);
}

QSize PlotView::minimumSizeHint() const
{
    return PlotLayout::minimumSize(int(std::max<size_t>(bandList.size(), 1)));
}

QSize PlotView::sizeHint() const
{
    const QSize least = minimumSizeHint();
    return {std::max(least.width(), 900),
            std::max(least.height(), int(bandList.size()) * kPreferredBandHeight)};
}

void PlotView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (bandList.empty()) {
        drawHint(painter);
        drawDropTarget(painter);
        return;
    }
    if (drawn.size() != size()) {
        drawn = QImage(size(), QImage::Format_RGB32);
        QPainter onImage(&drawn);
        paintPlot(onImage, layout(), picture());
    }
    painter.drawImage(0, 0, drawn);
    if (const std::optional<double> seconds = cursor())
        drawCursor(painter, *seconds);
    if (choosingStretch) {
        const QRectF box = layout().box(0);
        const double left =
            std::clamp<double>(std::min(pressedAt.x(), stretchEnd.x()), box.left(), box.right());
        const double right =
            std::clamp<double>(std::max(pressedAt.x(), stretchEnd.x()), box.left(), box.right());
        const QRectF last = layout().box(int(bandList.size()) - 1);
        painter.fillRect(QRectF(left, box.top(), right - left, last.bottom() - box.top()),
                         kStretchColor);
    }
    drawDropTarget(painter);
}

void PlotView::drawHint(QPainter &painter) const
{
    painter.fillRect(rect(), Qt::white);
    painter.setPen(kCursorColor);
    painter.setFont(textFont(kReadoutPixels));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     tr("Double-click a signal in the list, or drag it here.\n"
                        "Drop it on a band to join that band."));
}

// The cursor's line across the bands, and beside it a box with each signal's value there.
void PlotView::drawCursor(QPainter &painter, double seconds) const
{
    const PlotLayout plotLayout = layout();
    const QRectF first = plotLayout.box(0);
    const QRectF last = plotLayout.box(int(bandList.size()) - 1);
    const double fraction = window.fractionOf(seconds);
    if (fraction < 0 || fraction > 1)
        return;
    const double x = std::round(first.left() + fraction * first.width()) + 0.5;
    painter.setPen(QPen(kCursorColor, 1, pinned ? Qt::SolidLine : Qt::DashLine));
    painter.drawLine(QPointF(x, first.top()), QPointF(x, last.bottom()));

    QStringList lines{QString("%1 s").arg(seconds, 0, 'f', 6)};
    const std::vector<CursorReading> readings = readout(seconds);
    for (const CursorReading &reading : readings)
        lines << readingText(reading);
    const QFontMetrics metrics(textFont(kReadoutPixels, true));
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int lineHeight = metrics.height();
    QRectF panel(0, first.top() + kReadoutMargin, width + 2 * kReadoutMargin,
                 lineHeight * lines.size() + kReadoutMargin);
    panel.moveLeft(x + kReadoutMargin + panel.width() <= first.right()
                       ? x + kReadoutMargin
                       : std::max(0.0, x - kReadoutMargin - panel.width()));
    painter.setPen(QPen(kCursorColor, 1));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRect(panel);
    for (int line = 0; line < lines.size(); ++line) {
        painter.setFont(textFont(kReadoutPixels, line > 0));
        painter.setPen(line == 0 ? kCursorColor : curveColor(readings[size_t(line - 1)].color));
        painter.drawText(
            QPointF(panel.left() + kReadoutMargin,
                    panel.top() + kReadoutMargin / 2 + lineHeight * line + metrics.ascent()),
            lines[line]);
    }
}

// While signals are dragged over the plot: the band they would join, or the place of a new one.
void PlotView::drawDropTarget(QPainter &painter) const
{
    if (!dropBand)
        return;
    if (*dropBand >= 0) {
        const PlotLayout plotLayout = layout();
        painter.fillRect(plotLayout.labelStrip(*dropBand).united(plotLayout.box(*dropBand)),
                         kDropColor);
        return;
    }
    const QRectF strip(0, height() - 40, width(), 40);
    painter.fillRect(strip, kDropColor);
    painter.setPen(kCursorColor);
    painter.setFont(textFont(kReadoutPixels, true));
    painter.drawText(strip, Qt::AlignCenter, tr("a new band"));
}

void PlotView::resizeEvent(QResizeEvent *)
{
    invalidate();
}

void PlotView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressed = true;
    dragging = false;
    choosingStretch = (event->modifiers() & Qt::ShiftModifier) != 0;
    pressedAt = event->position().toPoint();
    stretchEnd = pressedAt;
    windowAtPress = window;
}

void PlotView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    following = timeAt(point);
    if (pressed && (point - pressedAt).manhattanLength() >= kDragDistance)
        dragging = true;
    if (pressed && choosingStretch) {
        stretchEnd = point;
    } else if (dragging && !bandList.empty()) {
        TimeWindow moved = windowAtPress;
        moved.pan(-(point.x() - pressedAt.x()) / layout().box(0).width(), dataExtent);
        setWindow(moved);
    }
    update();
}

void PlotView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !pressed)
        return;
    pressed = false;
    const QPoint point = event->position().toPoint();
    if (choosingStretch) {
        choosingStretch = false;
        const std::optional<double> start = timeAt(pressedAt);
        const std::optional<double> end = timeAt(point);
        if (dragging && start && end)
            showRange(*start, *end);
        update();
    } else if (!dragging) {
        if (const std::optional<double> seconds = timeAt(point))
            pinCursor(*seconds);
    }
}

void PlotView::leaveEvent(QEvent *)
{
    following.reset();
    update();
}

void PlotView::wheelEvent(QWheelEvent *event)
{
    const std::optional<double> seconds = timeAt(event->position().toPoint());
    if (!seconds || event->angleDelta().y() == 0)
        return;
    zoomAround(*seconds, std::pow(kWheelZoom, event->angleDelta().y() / 120.0));
    event->accept();
}

void PlotView::keyPressEvent(QKeyEvent *event)
{
    const double middle = window.secondsAt(0.5);
    switch (event->key()) {
    case Qt::Key_Left:
        pan(-kKeyPan);
        break;
    case Qt::Key_Right:
        pan(kKeyPan);
        break;
    case Qt::Key_Up:
    case Qt::Key_Plus:
        zoomAround(middle, kKeyZoom);
        break;
    case Qt::Key_Down:
    case Qt::Key_Minus:
        zoomAround(middle, 1 / kKeyZoom);
        break;
    case Qt::Key_Home:
        showAll();
        break;
    case Qt::Key_Escape:
        pinned.reset();
        update();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// A right click on a band offers to remove each of its signals.
void PlotView::contextMenuEvent(QContextMenuEvent *event)
{
    const int band = bandAt(event->pos());
    if (band < 0)
        return;
    QMenu menu(this);
    for (const PlottedSignal &signal : bandList[size_t(band)]) {
        const size_t index = signal.index;
        connect(menu.addAction(tr("Remove %1").arg(signal.name)), &QAction::triggered, this,
                [this, index] { removeSignal(index); });
    }
    menu.exec(event->globalPos());
}

void PlotView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!event->mimeData()->hasFormat(SignalTree::kMimeType))
        return event->ignore();
    event->acceptProposedAction();
    dropBand = bandAt(event->position().toPoint());
    update();
}

void PlotView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!event->mimeData()->hasFormat(SignalTree::kMimeType))
        return event->ignore();
    event->acceptProposedAction();
    const int band = bandAt(event->position().toPoint());
    if (dropBand != band) {
        dropBand = band;
        update();
    }
}

void PlotView::dragLeaveEvent(QDragLeaveEvent *)
{
    dropBand.reset();
    update();
}

void PlotView::dropEvent(QDropEvent *event)
{
    dropBand.reset();
    update();
    if (!event->mimeData()->hasFormat(SignalTree::kMimeType))
        return event->ignore();
    event->acceptProposedAction();
    Q_EMIT signalsDropped(
        SignalTree::signalsOfMimeData(event->mimeData()->data(SignalTree::kMimeType)),
        bandAt(event->position().toPoint()));
}
