#pragma once

#include "plot/plotdata.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

// Step plots of a table's signals, one band each over a shared time axis, drawn with QPainter.

// Where the parts of the picture go. The plot area's width is the number of pixel columns the
// table is reduced to, so it is known before the table is read.
class PlotLayout
{
public:
    PlotLayout(QSize size, int bands);

    QSize size() const { return imageSize; }
    int bands() const { return bandCount; }
    // The plot area's width in pixels: one pixel column of the reduction each.
    int columns() const { return int(plotArea.width()); }
    // A band: a strip for its labels above the box its line is drawn in.
    QRectF labelStrip(int band) const;
    QRectF box(int band) const;
    QRectF header() const;
    QRectF timeAxis() const;
    // Left of the plot area, where the value ticks are written.
    QRectF tickMargin(int band) const;

    // The image is too small when a band's box would be lower than this, or the plot area
    // narrower.
    static constexpr int kMinBoxHeight = 40;
    static constexpr int kMinColumns = 200;
    // The least width and height the bands need.
    static QSize minimumSize(int bands);

private:
    QRectF band(int index) const;

    QSize imageSize;
    int bandCount;
    QRectF plotArea;
};

// Everything a picture shows besides the reduced table.
struct PlotCaption
{
    QString title;              // may be empty
    QString note;               // e.g. how many signals were left out; may be empty
    std::vector<QString> names; // one per band
};

// One signal's line in a band: its name, its spans (one per pixel column) and its colour.
struct PlotCurve
{
    QString name;
    const std::vector<PixelSpan> *spans = nullptr;
    int color = 0; // any number; colours repeat after a few
};
// The signals one band shows, over one value scale.
using PlotBand = std::vector<PlotCurve>;

// A whole picture: the caption's title and note, the time range and the bands' lines.
struct PlotPicture
{
    QString title;
    QString note;
    TimeRange range;
    std::vector<PlotBand> bands; // one per band of the layout
};

// The colour of a signal's line and name.
QColor curveColor(int color);
// Draws the picture onto a painter's device of the layout's size.
void paintPlot(QPainter &painter, const PlotLayout &layout, const PlotPicture &picture);

// The picture as the bytes of its file; empty when it could not be made (a PNG too large for the
// memory there is).
QByteArray renderPng(const PlotLayout &layout, const PlotPicture &picture);
QByteArray renderSvg(const PlotLayout &layout, const PlotPicture &picture);
// A table's plot: one signal in each band.
QByteArray renderPng(const PlotLayout &layout, const PlotCaption &caption, const TablePlot &plot);
QByteArray renderSvg(const PlotLayout &layout, const PlotCaption &caption, const TablePlot &plot);

// The largest side of a picture: a PNG of 8000x8000 pixels already takes 256 MB to draw.
constexpr int kMaxImageSide = 8000;
// A picture's size as an option gives it, "WIDTHxHEIGHT" in pixels; nothing, with the problem
// said, for another text or a side beyond kMaxImageSide.
std::optional<QSize> imageSizeOption(const QString &text, QString &problem);

// The pictures' typeface at `pixels` high, for the viewer's own texts too.
QFont textFont(int pixels, bool bold = false);

// A message handler for programs that draw without a display: passes on only what is worse than
// a warning, so that a script reads the program's own messages, not the platform's notes such as
// a missing XDG_RUNTIME_DIR.
void dropPlatformWarnings(QtMsgType type, const QMessageLogContext &context,
                          const QString &message);
