#include "plotcommand.h"

#include "commandline.h"
#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "files/replacingfile.h"
#include "plot/plotdata.h"
#include "plot/tablereader.h"
#include "plotpainter.h"
#include "text/numbertext.h"

#include <cmath>
#include <optional>

namespace {

constexpr size_t kDefaultSignals = 8;
constexpr int kDefaultWidth = 1600;
constexpr int kDefaultBandHeight = 200;
constexpr int kDefaultMaxHeight = 1200;

struct PlotOptions
{
    QString table;
    QString output;
    bool svg = false;
    std::optional<double> from;
    std::optional<double> to;
    std::optional<QSize> size;
    bool quiet = false;
};

void addOptions(QCommandLineParser &parser)
{
    parser.addPositionalArgument(
        "table", "The table: a header \"time,<name>,...\", then one row of numbers per line.",
        "TABLE.csv");
    parser.addOptions({
        {"signals",
         QString("The signals to draw, in this order (default: the first %1).")
             .arg(kDefaultSignals),
         "NAME,NAME..."},
        {"from", "Start of the time range, in seconds (default: the first row).", "SECONDS"},
        {"to", "End of the time range, in seconds (default: the last row).", "SECONDS"},
        {"size",
         QString("The image's size in pixels (default: %1 wide, %2 high per signal, at most %3).")
             .arg(kDefaultWidth)
             .arg(kDefaultBandHeight)
             .arg(kDefaultMaxHeight),
         "WIDTHxHEIGHT"},
        {"title", "A title above the plots.", "TEXT"},
        {{"o", "output"},
         "The image to write; its extension, .png or .svg, chooses the format.",
         "OUT"},
        {"quiet", "No closing line; only problems are reported."},
    });
}

// A number of seconds given as an option; the parse is the same in every locale.
std::optional<double> secondsOption(const QCommandLineParser &parser, const QString &name,
                                    QString &problem)
{
    if (!parser.isSet(name))
        return std::nullopt;
    bool converts = false;
    const double seconds = parser.value(name).toDouble(&converts);
    if (!converts || !std::isfinite(seconds))
        problem = QString("--%1 needs a number of seconds, not '%2'").arg(name, parser.value(name));
    return seconds;
}

// The options that need no table, checked as usage.
QString readOptions(const CommandLine &line, PlotOptions &options)
{
    const QCommandLineParser &parser = line.parser;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return positional.isEmpty() ? "no table given" : "give one table only";
    options.table = positional.first();
    options.output = parser.value("output");
    if (options.output.isEmpty())
        return "no image given: -o OUT.png or -o OUT.svg";
    options.svg = options.output.endsWith(".svg", Qt::CaseInsensitive);
    if (!options.svg && !options.output.endsWith(".png", Qt::CaseInsensitive))
        return "the image's name must end in .png or .svg";
    QString problem;
    options.from = secondsOption(parser, "from", problem);
    options.to = secondsOption(parser, "to", problem);
    if (parser.isSet("size"))
        options.size = imageSizeOption(parser.value("size"), problem);
    if (problem.isEmpty() && options.from && options.to && *options.from >= *options.to)
        problem = "--from must be before --to";
    return problem;
}

std::vector<QString> tableNames(const TableReader &reader)
{
    std::vector<QString> names;
    for (const std::string &name : reader.names())
        names.push_back(qtText(name));
    return names;
}

// The table's columns to draw: those named, or the first few. Empty when a name is unknown,
// which has then been reported.
std::vector<size_t> chooseColumns(const QStringList &wanted, const std::vector<QString> &names)
{
    std::vector<size_t> columns;
    if (wanted.isEmpty()) {
        for (size_t column = 0; column < std::min(names.size(), kDefaultSignals); ++column)
            columns.push_back(column);
        return columns;
    }
    for (const QString &name : wanted) {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            report(QString("the table has no signal '%1'; it has: %2").arg(name, listNames(names)));
            return {};
        }
        columns.push_back(size_t(found - names.begin()));
    }
    return columns;
}

QSize defaultSize(int bands)
{
    return QSize(kDefaultWidth, std::min(kDefaultMaxHeight, kDefaultBandHeight * bands));
}

// Says that the first few signals were drawn by default, and how many were left out.
QString leftOutNote(size_t shown, size_t all)
{
    if (shown == all)
        return {};
    return QString("%1 of %2 signals shown; --signals chooses others").arg(shown).arg(all);
}

int tableProblem(const PlotOptions &options, const std::string &problem)
{
    report(options.table + ": " + qtText(problem));
    return kExitFailure;
}

// Draws the plot and stores it; the file is replaced only by a complete image.
int writeImage(const PlotOptions &options, const PlotLayout &layout, const PlotCaption &caption,
               TableReader &reader, const PlotRequest &request)
{
    const std::string outputPath = nativePath(options.output);
    if (outputIsAnInput(options.output, {options.table}))
        return kExitFailure;
    // Opened before the table is read, so that an image that cannot be made stops at once.
    ReplacingFile file;
    if (!file.open(outputPath)) {
        report(options.output + ": " +
               qtText(conversionOutcomeText(ConversionOutcome::OutputNotCreated)));
        return kExitFailure;
    }
    const TablePlot plot = reduceTable(reader, request);
    if (!plot.error.empty())
        return tableProblem(options, plot.error);
    const QByteArray image =
        options.svg ? renderSvg(layout, caption, plot) : renderPng(layout, caption, plot);
    if (image.isEmpty()) {
        report("the image could not be drawn");
        return kExitFailure;
    }
    if (!file.write(image.constData(), size_t(image.size())) || !file.commit()) {
        report(options.output + ": " +
               qtText(conversionOutcomeText(ConversionOutcome::WriteFailed)));
        return kExitFailure;
    }
    if (!options.quiet)
        report(QString("%1: %2, %3x%4 pixels")
                   .arg(options.output, qtText(counted(caption.names.size(), "signal", "signals")))
                   .arg(layout.size().width())
                   .arg(layout.size().height()));
    return kExitSuccess;
}

} // namespace

int runPlot(const QStringList &arguments)
{
    CommandLine line(kPlotCommandName,
                     "Draws signals of a table written by decode as step plots, one band each over "
                     "a shared time axis, into a PNG or SVG image.");
    addOptions(line.parser);
    if (const std::optional<int> status = line.parse(arguments))
        return *status;
    PlotOptions options;
    const QString usageProblem = readOptions(line, options);
    if (!usageProblem.isEmpty())
        return line.usageError(usageProblem);
    options.quiet = line.parser.isSet("quiet");

    TableReader reader;
    if (!reader.open(nativePath(options.table)))
        return tableProblem(options, reader.error());
    const std::vector<QString> names = tableNames(reader);
    PlotRequest request;
    const QStringList wanted = line.commaList("signals");
    request.columns = chooseColumns(wanted, names);
    if (request.columns.empty())
        return kExitFailure;
    const int bands = int(request.columns.size());
    const QSize size = options.size.value_or(defaultSize(bands));
    const QSize least = PlotLayout::minimumSize(bands);
    if (size.width() < least.width() || size.height() < least.height())
        return line.usageError(QString("an image of %1 bands needs at least %2x%3 pixels")
                                   .arg(bands)
                                   .arg(least.width())
                                   .arg(least.height()));
    const PlotLayout layout(size, bands);
    request.from = options.from;
    request.to = options.to;
    request.pixels = layout.columns();

    PlotCaption caption;
    caption.title = line.parser.value("title");
    if (wanted.isEmpty())
        caption.note = leftOutNote(request.columns.size(), names.size());
    for (size_t column : request.columns)
        caption.names.push_back(names[column]);
    return writeImage(options, layout, caption, reader, request);
}
