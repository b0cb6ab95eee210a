#include "plot/plotdata.h"
#include "plot/tablereader.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <charconv>
#include <cmath>

#include <vector>

using Rows = std::vector<std::pair<double, double>>; // time, value

// The table read for plotting and reduced to pixel columns, apart from any drawing.
class PlotDataTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString tablePath() const { return dir.filePath("table.csv"); }

    // Opens `text` as a table; the reader's error when it refuses it.
    bool openTable(TableReader &reader, const QByteArray &text)
    {
        if (!writeFile(tablePath(), text))
            qWarning("the table could not be written");
        return reader.open(nativePath(tablePath()));
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void reduction_data();
    void reduction();
    void tableFaults_data();
    void tableFaults();
    void emptyRanges_data();
    void emptyRanges();
    void tableForms_data();
    void tableForms();
    void numbersAsTheFullParseReadsThem();
    void lineLongerThanABlock();
    void largeTableAsItsRows();
    void readingStopsPastTheRange();
};

namespace {

// A span as text: "." when empty, "v" when flat, otherwise "first:min..max:last".
QString spanText(const PixelSpan &span)
{
    if (span.empty())
        return ".";
    if (span.min == span.max)
        return QString::number(span.min);
    return QString("%1:%2..%3:%4").arg(span.first).arg(span.min).arg(span.max).arg(span.last);
}

QString spansText(const std::vector<PixelSpan> &spans)
{
    QStringList texts;
    for (const PixelSpan &span : spans)
        texts << spanText(span);
    return texts.join(' ');
}

} // namespace

void PlotDataTest::reduction_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<bool>("tableGoesOn");
    QTest::addColumn<QString>("spans");

    // Ten pixel columns over the range; over 0 to 10 s column p holds the time from p to p + 1 s.
    // A change shows in its column along with the value held into it.
    QTest::newRow("a level held over many columns stays one level")
        << Rows{{0, 5}, {10, 5}} << 0.0 << 10.0 << false << "5 5 5 5 5 5 5 5 5 5";
    QTest::newRow("a change is a vertical edge in the column where it happens")
        << Rows{{0, 0}, {3.5, 10}, {10, 10}} << 0.0 << 10.0 << false
        << "0 0 0 0:0..10:10 10 10 10 10 10 10";
    QTest::newRow("every extreme within a column is kept, and its first and last value")
        << Rows{{0, 0}, {4.1, 7}, {4.2, -3}, {4.3, 2}, {10, 2}} << 0.0 << 10.0 << false
        << "0 0 0 0 0:-3..7:2 2 2 2 2 2";
    QTest::newRow("a pulse shorter than a column still shows")
        << Rows{{0, 0}, {6.2, 1}, {6.3, 0}, {10, 0}} << 0.0 << 10.0 << false
        << "0 0 0 0 0 0 0:0..1:0 0 0 0";
    QTest::newRow("before the table's first row nothing is drawn")
        << Rows{{3, 1}, {10, 1}} << 0.0 << 10.0 << false << ". . . 1 1 1 1 1 1 1";
    QTest::newRow("the last row before the range holds into it")
        << Rows{{0, 1}, {2, 4}, {7.5, 8}, {10, 8}} << 5.0 << 10.0 << false
        << "4 4 4 4 4 4:4..8:8 8 8 8 8";
    QTest::newRow("a row at the range's end falls in the last column")
        << Rows{{0, 1}, {10, 2}} << 0.0 << 10.0 << false << "1 1 1 1 1 1 1 1 1 1:1..2:2";
    QTest::newRow("a table that ends within the range stops the line there")
        << Rows{{0, 1}, {5, 2}} << 0.0 << 10.0 << false << "1 1 1 1 1 1:1..2:2 . . . .";
    QTest::newRow("a table that goes on holds its value to the range's end")
        << Rows{{0, 1}, {5, 2}} << 0.0 << 10.0 << true << "1 1 1 1 1 1:1..2:2 2 2 2 2";
    QTest::newRow("a range within one column's worth of rows")
        << Rows{{100, 1}, {100.25, 3}, {100.5, -1}} << 100.0 << 100.5 << false
        << "1 1 1 1 1 1:1..3:3 3 3 3 3:-1..3:-1";
}

void PlotDataTest::reduction()
{
    QFETCH(Rows, rows);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(bool, tableGoesOn);
    QFETCH(QString, spans);

    // The value sits in the row's second column: the reduction must take the chosen one.
    PlotReduction reduction({1}, {from, to}, 10);
    for (const auto &[time, value] : rows) {
        const double row[] = {-99, value};
        QVERIFY(reduction.add(time, row));
    }
    reduction.finish(tableGoesOn);
    QCOMPARE(reduction.spans().size(), size_t(1));
    QCOMPARE(spansText(reduction.spans()[0]), spans);
}

void PlotDataTest::tableFaults_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("error");

    QTest::newRow("an empty file") << QByteArray() << "the file is empty";
    QTest::newRow("a header without time")
        << QByteArray("t,a\n1,2\n") << "line 1: the header must start with \"time\"";
    QTest::newRow("a header without signals")
        << QByteArray("time\n1\n") << "line 1: the header names no signal after \"time\"";
    QTest::newRow("only a header") << QByteArray("time,a\n") << "the table has no rows";
    QTest::newRow("a field that is no number names its line and column")
        << QByteArray("time,a,b\n1,2,3\n2,3,x7\n3,4,5\n")
        << "line 3: \"x7\" in column b is not a number";
    QTest::newRow("a time that is no number")
        << QByteArray("time,a\n1,2\n,3\n3,4\n") << "line 3: \"\" in column time is not a number";
    QTest::newRow("numbers are read without the locale: a decimal comma is two fields")
        << QByteArray("time,a\n1,2\n2,3,5\n") << "line 3: the header has 2 fields, this line 3";
    QTest::newRow("too few fields")
        << QByteArray("time,a,b\n1,2,3\n2,3\n") << "line 3: the header has 3 fields, this line 2";
    QTest::newRow("an empty line within the table")
        << QByteArray("time,a\n1,2\n\n3,4\n") << "line 3: the header has 2 fields, this line 1";
    QTest::newRow("not a number and infinity are refused")
        << QByteArray("time,a\n1,nan\n") << "line 2: \"nan\" in column a is not a number";
    QTest::newRow("a long field is shortened in the message")
        << QByteArray("time,a\n1,123456789012345678901234567890x\n")
        << "line 2: \"123456789012345678901234...\" in column a is not a number";
    QTest::newRow("time going back") << QByteArray("time,a\n1,2\n2,2\n1.5,2\n3,2\n")
                                     << "line 4: the time 1.5 goes back from the line before";
    QTest::newRow("a faulty last line is named by its number")
        << QByteArray("time,a\n1,2\n2,3\nend\n") << "line 4: the header has 2 fields, this line 1";
    QTest::newRow("an earlier fault comes first when the last line is faulty too")
        << QByteArray("time,a\n1,2\n2,y\nend\n") << "line 3: \"y\" in column a is not a number";
    QTest::newRow("rows all at one time")
        << QByteArray("time,a\n4,2\n4,3\n")
        << "every row plotted has the time 4 s: a plot needs two times";
}

void PlotDataTest::tableFaults()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, error);

    TableReader reader;
    if (openTable(reader, table)) {
        const TablePlot plot = reduceTable(reader, {{0}, std::nullopt, std::nullopt, 20});
        QCOMPARE(QString::fromStdString(plot.error), error);
        QVERIFY(plot.spans.empty());
    } else {
        QCOMPARE(QString::fromStdString(reader.error()), error);
    }
}

void PlotDataTest::emptyRanges_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("error");

    // Rows at 0, 1 and 10 s.
    QTest::newRow("a range past the table's end")
        << 11.0 << 12.0
        << "no rows between 11 s and 12 s; the table's rows lie between 0 s and 10 s";
    QTest::newRow("a range before the table's start")
        << -2.0 << -1.0 << "no rows between -2 s and -1 s; the next row is at 0 s";
    QTest::newRow("a range between two rows")
        << 2.5 << 3.0 << "no rows between 2.5 s and 3 s; the next row is at 10 s";
}

void PlotDataTest::emptyRanges()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, error);

    TableReader reader;
    QVERIFY(openTable(reader, "time,a\n0,1\n1,2\n10,3\n"));
    const TablePlot plot = reduceTable(reader, {{0}, from, to, 20});
    QCOMPARE(QString::fromStdString(plot.error), error);
}

void PlotDataTest::tableForms_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("spans");

    QTest::newRow("the decoder's own rows")
        << QByteArray("time,a\n0.000000,1.000000\n4.000000,-2.500000\n") << "1 1 1:-2.5..1:-2.5";
    QTest::newRow("line ends of Windows")
        << QByteArray("time,a\r\n0,1\r\n4,2\r\n") << "1 1 1:1..2:2";
    QTest::newRow("a last line without its line end")
        << QByteArray("time,a\n0,1\n4,2") << "1 1 1:1..2:2";
    QTest::newRow("integers and exponents")
        << QByteArray("time,a\n0,1e1\n4,-2E-1\n") << "10 10 10:-0.2..10:-0.2";
}

void PlotDataTest::tableForms()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, spans);

    TableReader reader;
    QVERIFY2(openTable(reader, table), reader.error().c_str());
    const TablePlot plot = reduceTable(reader, {{0}, std::nullopt, std::nullopt, 3});
    QVERIFY2(plot.error.empty(), plot.error.c_str());
    QCOMPARE(plot.range.from, 0.0);
    QCOMPARE(plot.range.to, 4.0);
    QCOMPARE(spansText(plot.spans[0]), spans);
}

// The short way for the table's own numbers gives the very double of the full parse, and refuses
// what it refuses.
void PlotDataTest::numbersAsTheFullParseReadsThem()
{
    QRandomGenerator random(16);
    std::vector<std::string> texts = {"0.000000",
                                      "-0.000000",
                                      "1.",
                                      ".5",
                                      "-.5",
                                      "5",
                                      "-",
                                      ".",
                                      "-.",
                                      "1..2",
                                      "1.2.3",
                                      "--1",
                                      "+1",
                                      " 1",
                                      "1 ",
                                      "999999999999999",
                                      "9999999999999999",
                                      "0.1",
                                      "1e5",
                                      "4294967295.999999",
                                      "0.000000000000001",
                                      "123456789.123456"};
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + int(random.bounded(16));
        std::string text = random.bounded(2) ? "-" : "";
        for (int d = 0; d < digits; ++d)
            text += char('0' + random.bounded(10));
        text.insert(text.size() - size_t(random.bounded(digits + 1)), ".");
        texts.push_back(text);
    }
    for (const std::string &text : texts) {
        const char *end = text.data() + text.size();
        double expected = 0;
        const std::from_chars_result full = std::from_chars(text.data(), end, expected);
        const bool accepted = full.ec == std::errc() && full.ptr == end;
        const std::optional<double> value = parseNumber(text.data(), end);
        QVERIFY2(value.has_value() == accepted, text.c_str());
        if (accepted) {
            QVERIFY2(*value == expected && std::signbit(*value) == std::signbit(expected),
                     text.c_str());
        }
    }
}

void PlotDataTest::lineLongerThanABlock()
{
    const QByteArray name(3 << 20, 'n');
    TableReader reader;
    QVERIFY2(openTable(reader, "time,a," + name + "\n1,2,3\n"), reader.error().c_str());
    QCOMPARE(reader.names().size(), size_t(2));
    QCOMPARE(reader.names()[1].size(), size_t(name.size()));
    QVERIFY(reader.next());
    QCOMPARE(reader.row()[1], 3.0);
}

// Millions of bytes in blocks, rows across their borders: the reduction of the file is the
// reduction of its rows given one by one.
void PlotDataTest::largeTableAsItsRows()
{
    const int rowCount = 300000;
    QByteArray table = "time,up,wave\n";
    std::vector<double> times, ups, waves;
    for (int row = 0; row < rowCount; ++row) {
        times.push_back(row * 0.001);
        ups.push_back(row / 1000);
        waves.push_back(row % 7 - 3.25);
        table += QByteArray::number(times.back(), 'f', 6) + ',' +
                 QByteArray::number(ups.back(), 'f', 6) + ',' +
                 QByteArray::number(waves.back(), 'f', 6) + '\n';
    }
    TableReader reader;
    QVERIFY(openTable(reader, table));
    const TablePlot plot = reduceTable(reader, {{1, 0}, 12.5, std::nullopt, 700});
    QVERIFY2(plot.error.empty(), plot.error.c_str());

    PlotReduction expected({1, 0}, {12.5, times.back()}, 700);
    for (int row = 0; row < rowCount; ++row) {
        const double values[] = {ups[size_t(row)], waves[size_t(row)]};
        expected.add(times[size_t(row)], values);
    }
    expected.finish(false);
    QCOMPARE(spansText(plot.spans[0]), spansText(expected.spans()[0]));
    QCOMPARE(spansText(plot.spans[1]), spansText(expected.spans()[1]));
}

// The rows past the range are not read: what follows them may be anything.
void PlotDataTest::readingStopsPastTheRange()
{
    TableReader reader;
    QVERIFY(openTable(reader, "time,a\n0,1\n1,2\n2,3\n3,4\nnot a table\n"));
    const TablePlot plot = reduceTable(reader, {{0}, 0.0, 2.0, 2});
    QVERIFY2(plot.error.empty(), plot.error.c_str());
    QCOMPARE(spansText(plot.spans[0]), QString("1 1:1..3:3"));
}

QTEST_GUILESS_MAIN(PlotDataTest)
#include "tst_plotdata.moc"
