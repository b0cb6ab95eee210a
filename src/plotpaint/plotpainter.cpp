#include "plotpainter.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kTopMargin = 8;
constexpr int kHeaderHeight = 30;
constexpr int kLeftMargin = 96;
constexpr int kRightMargin = 24;
constexpr int kTimeAxisHeight = 44;
constexpr int kBandGap = 10;
constexpr int kLabelHeight = 18;
constexpr int kTickGap = 6;
constexpr int kLabelGap = 12;      // between the names of a band's signals
constexpr double kMarginInBox = 6; // keeps the extremes off the box's edges

const QColor kFrameColor(0xb0, 0xb0, 0xb0);
const QColor kGridColor(0xe4, 0xe4, 0xe4);
const QColor kTextColor(0x30, 0x30, 0x30);
const QColor kNoteColor(0x70, 0x70, 0x70);
// Distinct on white and to most colour-blind eyes.
const QColor kLineColors[] = {{0x1f, 0x77, 0xb4}, {0xd6, 0x27, 0x28}, {0x2c, 0xa0, 0x2c},
                              {0x94, 0x67, 0xbd}, {0xff, 0x7f, 0x0e}, {0x8c, 0x56, 0x4b},
                              {0xe3, 0x77, 0xc2}, {0x17, 0xbe, 0xcf}};

// Where `value` lies from `low` (0) to `high` (1). In halves, so that the span between two
// finite values never overflows, even from -1e308 to 1e308.
double fraction(double value, double low, double high)
{
    return (value / 2 - low / 2) / (high / 2 - low / 2);
}

// Round values for the ticks of an axis from `low` to `high`: steps of 1, 2 or 5 times a power
// of ten, about `wanted` of them (at least two), and the decimals their labels need.
struct Ticks
{
    std::vector<double> values;
    int decimals = 0;
};

Ticks roundTicks(double low, double high, int wanted)
{
    Ticks ticks;
    const double rough = (high / 2 - low / 2) / std::max(wanted, 2) * 2;
    if (!(rough > 0) || !std::isfinite(rough))
        return ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double ratio = rough / magnitude;
    double step = magnitude * (ratio < 1.5 ? 1 : ratio < 3 ? 2 : ratio < 7 ? 5 : 10);
    if (!std::isfinite(step)) // a round step past the largest double
        step = magnitude;
    ticks.decimals = std::clamp(int(-std::floor(std::log10(step))), 0, 12);
    const int kMostTicks = 50;
    for (double k = std::ceil(low / step); k * step <= high && ticks.values.size() < kMostTicks;
         ++k)
        ticks.values.push_back(k * step + 0.0); // + 0.0 turns -0 into 0: no "-0" label
    return ticks;
}

QString tickText(double value, int decimals)
{
    return std::abs(value) < 1e12 ? QString::number(value, 'f', decimals)
                                  : QString::number(value, 'g', 6);
}

// A value as the table holds it, without trailing zeros.
QString valueText(double value)
{
    return QString::number(value, 'g', 12);
}

// The vertical scale of a band: its signals' lowest to highest value over its box, or a constant
// signal across the middle.
class ValueScale
{
public:
    ValueScale(const PlotBand &curves, const QRectF &box) : box(box)
    {
        for (const PlotCurve &curve : curves) {
            for (const PixelSpan &span : *curve.spans) {
                if (!span.empty()) {
                    low = std::min(low, span.min);
                    high = std::max(high, span.max);
                }
            }
        }
    }
    bool constant() const { return low == high; }
    double y(double value) const
    {
        if (constant())
            return box.center().y();
        const double usable = box.height() - 2 * kMarginInBox;
        return box.bottom() - kMarginInBox - fraction(value, low, high) * usable;
    }

    double low = HUGE_VAL;
    double high = -HUGE_VAL;

private:
    QRectF box;
};

double timeX(double time, const TimeRange &range, const QRectF &box)
{
    return box.left() + fraction(time, range.from, range.to) * box.width();
}

// Adds a point to a line; a level held over many pixel columns stays one segment.
void extend(QPolygonF &line, QPointF point)
{
    const qsizetype count = line.size();
    if (count >= 1 && line[count - 1] == point)
        return;
    if (count >= 2 && line[count - 1].y() == point.y() && line[count - 2].y() == point.y())
        line[count - 1] = point;
    else
        line << point;
}

// The steps of one signal: in each pixel column a vertical stroke over every value it held there,
// ending at its last value, which is held on to the next column. Empty columns break the line.
void drawSteps(QPainter &painter, const std::vector<PixelSpan> &spans, const ValueScale &scale,
               const QRectF &box)
{
    QPolygonF line;
    for (size_t pixel = 0; pixel <= spans.size(); ++pixel) {
        if (pixel == spans.size() || spans[pixel].empty()) {
            painter.drawPolyline(line);
            line.clear();
            continue;
        }
        const PixelSpan &span = spans[pixel];
        const double x = box.left() + double(pixel) + 0.5;
        extend(line, {x, scale.y(span.first)});
        if (span.min != span.max) {
            const bool rising = span.first <= span.last;
            line << QPointF(x, scale.y(rising ? span.min : span.max))
                 << QPointF(x, scale.y(rising ? span.max : span.min));
            line << QPointF(x, scale.y(span.last));
        }
        extend(line, {x + 1, scale.y(span.last)});
    }
}

void drawTimeGrid(QPainter &painter, const Ticks &times, const TimeRange &range, const QRectF &box)
{
    painter.setPen(QPen(kGridColor, 1));
    for (double time : times.values) {
        const double x = std::round(timeX(time, range, box)) + 0.5;
        painter.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
    }
}

void drawValueTicks(QPainter &painter, const ValueScale &scale, const QRectF &box,
                    const QRectF &margin)
{
    const Ticks ticks = scale.constant()
                            ? Ticks{{scale.low}, 0}
                            : roundTicks(scale.low, scale.high, int(box.height() / 32) + 1);
    painter.setFont(textFont(11));
    for (double value : ticks.values) {
        const double y = std::round(scale.y(value)) + 0.5;
        painter.setPen(QPen(kGridColor, 1));
        painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        painter.setPen(kTextColor);
        const QString text = scale.constant() ? valueText(value) : tickText(value, ticks.decimals);
        painter.drawText(QRectF(margin.left(), y - 8, margin.width() - kTickGap, 16),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
}

// The signals' names side by side in their colours, the band's extremes on the right.
void drawLabels(QPainter &painter, const QRectF &strip, const PlotBand &curves,
                const ValueScale &scale)
{
    painter.setFont(textFont(13, true));
    QRectF place = strip;
    for (const PlotCurve &curve : curves) {
        painter.setPen(curveColor(curve.color));
        QRectF drawn;
        painter.drawText(place, Qt::AlignLeft | Qt::AlignVCenter, curve.name, &drawn);
        place.setLeft(drawn.right() + kLabelGap);
    }
    painter.setFont(textFont(12));
    painter.setPen(kTextColor);
    const QString extremes =
        scale.constant()
            ? QString("constant %1").arg(valueText(scale.low))
            : QString("min %1   max %2").arg(valueText(scale.low), valueText(scale.high));
    painter.drawText(strip, Qt::AlignRight | Qt::AlignVCenter, extremes);
}

void drawBand(QPainter &painter, const PlotLayout &layout, int band, const PlotBand &curves,
              const Ticks &times, const TimeRange &range)
{
    const QRectF box = layout.box(band);
    const ValueScale scale(curves, box);
    drawTimeGrid(painter, times, range, box);
    drawValueTicks(painter, scale, box, layout.tickMargin(band));
    painter.setPen(QPen(kFrameColor, 1));
    painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    for (const PlotCurve &curve : curves) {
        painter.setPen(QPen(curveColor(curve.color), 1.5));
        drawSteps(painter, *curve.spans, scale, box);
    }
    drawLabels(painter, layout.labelStrip(band), curves, scale);
}

void drawTimeAxis(QPainter &painter, const PlotLayout &layout, const Ticks &times,
                  const TimeRange &range)
{
    const QRectF axis = layout.timeAxis();
    const QRectF lastBox = layout.box(layout.bands() - 1);
    painter.setFont(textFont(11));
    painter.setPen(kTextColor);
    for (double time : times.values) {
        const double x = timeX(time, range, lastBox);
        painter.drawLine(QPointF(x, axis.top()), QPointF(x, axis.top() + 4));
        painter.drawText(QRectF(x - 60, axis.top() + 5, 120, 16), Qt::AlignHCenter | Qt::AlignTop,
                         tickText(time, times.decimals));
    }
    painter.setFont(textFont(12));
    painter.drawText(axis, Qt::AlignRight | Qt::AlignBottom, "time (s)");
}

void drawHeader(QPainter &painter, const QRectF &header, const PlotPicture &picture)
{
    painter.setPen(kTextColor);
    painter.setFont(textFont(16, true));
    painter.drawText(header, Qt::AlignHCenter | Qt::AlignVCenter, picture.title);
    painter.setPen(kNoteColor);
    painter.setFont(textFont(12));
    painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, picture.note);
}

PlotPicture tablePicture(const PlotCaption &caption, const TablePlot &plot)
{
    PlotPicture picture{caption.title, caption.note, plot.range, {}};
    for (size_t band = 0; band < plot.spans.size(); ++band)
        picture.bands.push_back({{caption.names[band], &plot.spans[band], int(band)}});
    return picture;
}

// The generator gives the image's size in millimetres, which viewers turn into pixels at
// different resolutions; in pixels it is the size asked for everywhere.
QByteArray inPixels(QByteArray svg, QSize size)
{
    static const QRegularExpression millimetres(R"(<svg width="[0-9.]+mm" height="[0-9.]+mm")");
    const QRegularExpressionMatch match = millimetres.match(QString::fromLatin1(svg.left(200)));
    if (match.hasMatch())
        svg.replace(match.capturedStart(), match.capturedLength(),
                    QString(R"(<svg width="%1" height="%2")")
                        .arg(size.width())
                        .arg(size.height())
                        .toLatin1());
    return svg;
}

// The text with U+FFFD for every character that XML does not allow even escaped: control
// characters, which a table's header or a title may hold, and the non-characters U+FFFE, U+FFFF.
QString xmlCharacters(QString text)
{
    for (QChar &c : text) {
        const char16_t code = c.unicode();
        if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code >= 0xFFFE)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

PlotPicture svgPicture(PlotPicture picture)
{
    picture.title = xmlCharacters(picture.title);
    picture.note = xmlCharacters(picture.note);
    for (PlotBand &band : picture.bands) {
        for (PlotCurve &curve : band)
            curve.name = xmlCharacters(curve.name);
    }
    return picture;
}

} // namespace

QColor curveColor(int color)
{
    return kLineColors[size_t(color) % std::size(kLineColors)];
}

void paintPlot(QPainter &painter, const PlotLayout &layout, const PlotPicture &picture)
{
    painter.fillRect(QRect(QPoint(), layout.size()), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawHeader(painter, layout.header(), picture);
    const Ticks times =
        roundTicks(picture.range.from, picture.range.to, std::max(2, layout.columns() / 130));
    for (int band = 0; band < layout.bands(); ++band)
        drawBand(painter, layout, band, picture.bands[size_t(band)], times, picture.range);
    drawTimeAxis(painter, layout, times, picture.range);
}

PlotLayout::PlotLayout(QSize size, int bands)
    : imageSize(size), bandCount(bands),
      plotArea(kLeftMargin, kTopMargin + kHeaderHeight, size.width() - kLeftMargin - kRightMargin,
               size.height() - kTopMargin - kHeaderHeight - kTimeAxisHeight)
{
}

QRectF PlotLayout::band(int index) const
{
    // Whole pixels, so that frames and grid lines fall on pixel boundaries.
    const double height = std::floor((plotArea.height() - kBandGap * (bandCount - 1)) / bandCount);
    return QRectF(plotArea.left(), plotArea.top() + index * (height + kBandGap), plotArea.width(),
                  height);
}

QRectF PlotLayout::labelStrip(int band) const
{
    const QRectF whole = this->band(band);
    return QRectF(whole.left(), whole.top(), whole.width(), kLabelHeight);
}

QRectF PlotLayout::box(int band) const
{
    return this->band(band).adjusted(0, kLabelHeight, 0, 0);
}

QRectF PlotLayout::tickMargin(int band) const
{
    const QRectF inside = box(band);
    return QRectF(0, inside.top(), kLeftMargin, inside.height());
}

QRectF PlotLayout::header() const
{
    return QRectF(kLeftMargin, kTopMargin, plotArea.width(), kHeaderHeight);
}

QRectF PlotLayout::timeAxis() const
{
    const double top = box(bandCount - 1).bottom();
    return QRectF(kLeftMargin, top, plotArea.width(), imageSize.height() - top - 4);
}

QSize PlotLayout::minimumSize(int bands)
{
    return QSize(kLeftMargin + kMinColumns + kRightMargin,
                 kTopMargin + kHeaderHeight + kTimeAxisHeight +
                     bands * (kLabelHeight + kMinBoxHeight) + (bands - 1) * kBandGap);
}

QByteArray renderPng(const PlotLayout &layout, const PlotPicture &picture)
{
    QImage image(layout.size(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    QPainter painter(&image);
    paintPlot(painter, layout, picture);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

QByteArray renderSvg(const PlotLayout &layout, const PlotPicture &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    // At the 96 pixels per inch of CSS, so that text has the size it has in a PNG.
    generator.setResolution(96);
    generator.setSize(layout.size());
    generator.setViewBox(QRect(QPoint(), layout.size()));
    // The generator escapes the text it draws, but writes the title into <title> as it is.
    const PlotPicture safe = svgPicture(picture);
    generator.setTitle(safe.title.toHtmlEscaped());
    QPainter painter(&generator);
    paintPlot(painter, layout, safe);
    painter.end();
    return inPixels(bytes, layout.size());
}

QByteArray renderPng(const PlotLayout &layout, const PlotCaption &caption, const TablePlot &plot)
{
    return renderPng(layout, tablePicture(caption, plot));
}

QByteArray renderSvg(const PlotLayout &layout, const PlotCaption &caption, const TablePlot &plot)
{
    return renderSvg(layout, tablePicture(caption, plot));
}

QFont textFont(int pixels, bool bold)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void dropPlatformWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

std::optional<QSize> imageSizeOption(const QString &text, QString &problem)
{
    static const QRegularExpression pattern("^(\\d{1,5})x(\\d{1,5})$");
    const QRegularExpressionMatch match = pattern.match(text);
    const QSize size =
        match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
    if (size.isEmpty() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) {
        problem = QString("--size needs WIDTHxHEIGHT in pixels, each at most %1, not '%2'")
                      .arg(kMaxImageSide)
                      .arg(text);
        return std::nullopt;
    }
    return size;
}
