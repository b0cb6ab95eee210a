#include "clirun.h"
#include "testfiles.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

// quorvane-cli plot, run as a user runs it: the images it writes, without a display, and every
// way a run is refused without leaving a file behind.
class CliPlotTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase();
    void images_data();
    void images();
    void captionsOfTheBands();
    void svgStaysWellFormed_data();
    void svgStaysWellFormed();
    void refusedRuns_data();
    void refusedRuns();
    void earlierImageKeptOnFailure();
    void missingSiblingProgram_data();
    void missingSiblingProgram();
};

namespace {

// Ten seconds at 100 rows a second: a wave, a gear that steps and a signal that never changes.
QByteArray threeSignals()
{
    QByteArray table = "time,Speed,Gear,Flat\n";
    for (int row = 0; row <= 1000; ++row) {
        const double time = row * 0.01;
        table += QByteArray::number(time, 'f', 6) + ',' +
                 QByteArray::number(50 + 40 * std::sin(time), 'f', 6) + ',' +
                 QByteArray::number(row / 200, 'f', 6) + ",3.500000\n";
    }
    return table;
}

// 25 signals named s01 to s25.
QByteArray manySignals()
{
    QByteArray header = "time", first = "0", second = "1";
    for (int column = 1; column <= 25; ++column) {
        header += QByteArray(",s") + (column < 10 ? "0" : "") + QByteArray::number(column);
        first += ",0";
        second += ',' + QByteArray::number(column);
    }
    return header + '\n' + first + '\n' + second + '\n';
}

// Pixels of the lines' colours, not the white, greys and black of the frame, grid and text.
int colouredPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += QColor(image.pixel(x, y)).hsvSaturation() > 100;
    }
    return count;
}

QImage drawnSvg(const QByteArray &svg, QSize size)
{
    QSvgRenderer renderer(svg);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

void CliPlotTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(path("table.csv"), threeSignals()));
    QVERIFY(writeFile(path("many.csv"), manySignals()));
    QVERIFY(writeFile(path("faulty.csv"), "time,a\n0,1\n1,2x\n2,3\n"));
    QVERIFY(writeFile(path("control.csv"), "time,a\x01<b>\n0,1\n1,2\n"));
    QVERIFY(writeFile(path("extreme.csv"), "time,a\n0,-1e308\n1,1e308\n2,0\n"));
    QVERIFY(writeFile(path("table.png"), threeSignals()));
    QVERIFY(QDir(dir.path()).mkpath("folder.csv"));
    // The program must find its own way to draw without a window system.
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
}

void CliPlotTest::images_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QSize>("size");

    QTest::newRow("PNG at the default size: 1600 wide, 200 high per signal")
        << QStringList{"table.csv"} << "plot.png" << QSize(1600, 600);
    QTest::newRow("SVG at the default size")
        << QStringList{"table.csv"} << "plot.svg" << QSize(1600, 600);
    QTest::newRow("the default height stops at 1200")
        << QStringList{"many.csv"} << "many.png" << QSize(1600, 1200);
    QTest::newRow("a chosen size, range, title and signals")
        << QStringList{"table.csv", "--size",  "900x350", "--from",    "2.5",       "--to",
                       "7",         "--title", "Gear",    "--signals", "Gear,Speed"}
        << "chosen.PNG" << QSize(900, 350);
}

void CliPlotTest::images()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, image);
    QFETCH(QSize, size);

    const CliRun run = runCli(QStringList{"plot", "--quiet", "-o", image} + arguments, dir.path());
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    const QByteArray bytes = readFile(path(image));
    QImage drawn;
    if (image.endsWith(".svg")) {
        QVERIFY(bytes.startsWith("<?xml"));
        QCOMPARE(QSvgRenderer(bytes).defaultSize(), size);
        drawn = drawnSvg(bytes, size);
    } else {
        QVERIFY(bytes.startsWith("\x89PNG\r\n"));
        QVERIFY(drawn.loadFromData(bytes, "PNG"));
    }
    QCOMPARE(drawn.size(), size);
    // Every band's line runs across the plot: at least one coloured pixel per column.
    QVERIFY2(colouredPixels(drawn) > size.width() / 2,
             qPrintable(QString::number(colouredPixels(drawn))));
    QFile::remove(path(image));
}

// An SVG keeps its text as text: the names, extremes and notes can be read back.
void CliPlotTest::captionsOfTheBands()
{
    CliRun run =
        runCli({"plot", "table.csv", "-o", "captions.svg", "--title", "Bench run 7"}, dir.path());
    QCOMPARE(run.status, 0);
    const QByteArray svg = readFile(path("captions.svg"));
    for (const char *text :
         {"Bench run 7", "Speed", "Gear", "Flat", "min 0   max 5", "constant 3.5"})
        QVERIFY2(svg.contains(text), text);
    QVERIFY(!svg.contains("signals shown"));

    run = runCli({"plot", "many.csv", "-o", "captions.svg"}, dir.path());
    QCOMPARE(run.status, 0);
    QVERIFY(readFile(path("captions.svg")).contains("8 of 25 signals shown"));
    run = runCli({"plot", "many.csv", "--signals", "s25,s02", "-o", "captions.svg"}, dir.path());
    QCOMPARE(run.status, 0);
    QVERIFY(!readFile(path("captions.svg")).contains("signals shown"));
}

void CliPlotTest::svgStaysWellFormed_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<QString>("tick"); // a value tick that must be there

    QTest::newRow("an ampersand") << "table.csv"
                                  << "Speed & RPM"
                                  << "Speed & RPM"
                                  << "";
    QTest::newRow("a title that would close the text and start a script")
        << "table.csv"
        << "</text><script>alert(1)</script>"
        << "</text><script>alert(1)</script>"
        << "";
    QTest::newRow("control characters in the title and a signal's name") << "control.csv"
                                                                         << "a\x02"
                                                                            "b"
                                                                         << "a\uFFFDb"
                                                                         << "";
    QTest::newRow("values from -1e308 to 1e308 inside their band") << "extreme.csv"
                                                                   << ""
                                                                   << ""
                                                                   << "1e+308";
}

// Whatever the title and the table's names, the SVG parses as XML, holds no element of theirs,
// and every line stays inside the image.
void CliPlotTest::svgStaysWellFormed()
{
    QFETCH(QString, table);
    QFETCH(QString, title);
    QFETCH(QString, shownTitle);
    QFETCH(QString, tick);
    const QSize size(800, 300);
    const CliRun run = runCli(
        {"plot", table, "--title", title, "--size", "800x300", "-o", "safe.svg"}, dir.path());
    QCOMPARE(run.status, 0);

    QXmlStreamReader svg(readFile(path("safe.svg")));
    QStringList texts;
    QString titleText;
    while (!svg.atEnd()) {
        if (svg.readNext() != QXmlStreamReader::StartElement)
            continue;
        QVERIFY(svg.name() != QLatin1String("script"));
        if (svg.name() == QLatin1String("title")) {
            titleText = svg.readElementText();
        } else if (svg.name() == QLatin1String("text")) {
            texts << svg.readElementText();
        } else if (svg.name() == QLatin1String("polyline")) {
            const QStringList points = svg.attributes().value("points").toString().split(
                QRegularExpression("[ ,]"), Qt::SkipEmptyParts);
            for (int i = 0; i < points.size(); ++i) {
                const double coordinate = points[i].toDouble();
                QVERIFY2(coordinate >= 0 && coordinate <= (i % 2 ? size.height() : size.width()),
                         qPrintable(points[i]));
            }
        }
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    QCOMPARE(titleText, shownTitle);
    QVERIFY(title.isEmpty() || texts.contains(shownTitle));
    QVERIFY(tick.isEmpty() || texts.contains(tick));
}

void CliPlotTest::refusedRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("an unknown signal, with the table's names shortened past 20")
        << QStringList{"many.csv", "--signals", "s01,Nope", "-o", "out.png"} << 1
        << "quorvane-cli: the table has no signal 'Nope'; it has: s01, s02, s03, s04, s05, s06, "
           "s07, s08, s09, s10, s11, s12, s13, s14, s15, s16, s17, s18, s19, s20, ... (5 more)\n";
    QTest::newRow("a line that is not numeric, by its number")
        << QStringList{"faulty.csv", "-o", "out.png"} << 1
        << "quorvane-cli: faulty.csv: line 3: \"2x\" in column a is not a number\n";
    QTest::newRow("--from after --to")
        << QStringList{"table.csv", "--from", "5", "--to", "4", "-o", "out.png"} << 2
        << "quorvane-cli: --from must be before --to\n";
    QTest::newRow("a range with no rows")
        << QStringList{"table.csv", "--from", "20", "--to", "30", "-o", "out.png"} << 1
        << "quorvane-cli: table.csv: no rows between 20 s and 30 s; the table's rows lie "
           "between 0 s and 10 s\n";
    QTest::newRow("seconds that are no number")
        << QStringList{"table.csv", "--from", "1,5", "-o", "out.png"} << 2
        << "quorvane-cli: --from needs a number of seconds, not '1,5'\n";
    QTest::newRow("an image that is neither PNG nor SVG")
        << QStringList{"table.csv", "-o", "out.jpg"} << 2
        << "quorvane-cli: the image's name must end in .png or .svg\n";
    QTest::newRow("no image named") << QStringList{"table.csv"} << 2
                                    << "quorvane-cli: no image given: -o OUT.png or -o OUT.svg\n";
    QTest::newRow("a size that is not WIDTHxHEIGHT")
        << QStringList{"table.csv", "--size", "1600*900", "-o", "out.png"} << 2
        << "quorvane-cli: --size needs WIDTHxHEIGHT in pixels, each at most 8000, not "
           "'1600*900'\n";
    QTest::newRow("a size too small for the bands")
        << QStringList{"table.csv", "--size", "1600x150", "-o", "out.png"} << 2
        << "quorvane-cli: an image of 3 bands needs at least 320x276 pixels\n";
    QTest::newRow("a table that is a folder") << QStringList{"folder.csv", "-o", "out.png"} << 1
                                              << "quorvane-cli: folder.csv: not a regular file\n";
    QTest::newRow("a table that does not exist") << QStringList{"missing.csv", "-o", "out.png"} << 1
                                                 << "quorvane-cli: missing.csv: no such file\n";
    QTest::newRow("an image that would replace the table")
        << QStringList{"table.png", "-o", "./table.png"} << 1
        << "quorvane-cli: ./table.png: Output file is an input file!\n";
    QTest::newRow("an image in a folder that does not exist")
        << QStringList{"table.csv", "-o", "nowhere/out.png"} << 1
        << "quorvane-cli: nowhere/out.png: Errore nella creazione del file!\n";
}

void CliPlotTest::refusedRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const CliRun run = runCli(QStringList{"plot"} + arguments, dir.path());
    QCOMPARE(run.status, status);
    QCOMPARE(QString::fromUtf8(run.err).section('\n', 0, 0) + '\n', message);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(readFile(path("table.png")), threeSignals());
}

void CliPlotTest::earlierImageKeptOnFailure()
{
    QVERIFY(writeFile(path("kept.png"), "an earlier image"));
    CliRun run = runCli({"plot", "faulty.csv", "-o", "kept.png"}, dir.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(readFile(path("kept.png")), QByteArray("an earlier image"));

    run = runCli({"plot", "table.csv", "-o", "kept.png"}, dir.path());
    QCOMPARE(run.status, 0);
    QVERIFY(readFile(path("kept.png")).startsWith("\x89PNG"));
}

void CliPlotTest::missingSiblingProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("sibling");
    QTest::newRow("plot") << QStringList{"plot", "table.csv", "-o", "out.png"}
                          << "quorvane-cli-plot";
    QTest::newRow("view") << QStringList{"view", "table.csv"} << "quorvane-view";
}

// Installed without the program a command hands over to, the command line says which one is
// missing and fails.
void CliPlotTest::missingSiblingProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, sibling);
    QVERIFY(QDir(dir.path()).mkpath("alone"));
    const QString alone = path("alone/quorvane-cli");
    QFile::remove(alone);
    QVERIFY(QFile::copy(QUORVANE_CLI_PATH, alone));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(alone, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    // The system's reason follows, in the user's language.
    const QByteArray error = process.readAllStandardError();
    QVERIFY2(error.startsWith("quorvane-cli: " + path("alone/" + sibling).toUtf8() +
                              ": cannot start it: "),
             error.constData());
}

QTEST_MAIN(CliPlotTest)
#include "tst_cliplot.moc"
