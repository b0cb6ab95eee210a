// The core's own texts against Qt's, which the window and the command line used before: typed
// numbers read alike, and the ASC header's date the same whatever the locale.
#include "log/logtext.h"
#include "text/numbertext.h"

#include <QDateTime>
#include <QTest>

#include <clocale>
#include <cmath>

class CoreTextTest : public QObject
{
    Q_OBJECT
private slots:
    void numbersReadAsQtReadsThem_data();
    void numbersReadAsQtReadsThem();
    void ascDateUnderAnyLocale_data();
    void ascDateUnderAnyLocale();
};

void CoreTextTest::numbersReadAsQtReadsThem_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const char *text : {"",
                             " ",
                             "12",
                             " 12 ",
                             "\t5\n",
                             "\v7",
                             "+12",
                             "-12",
                             "+-1",
                             "--1",
                             "12a",
                             "1 2",
                             "0x10",
                             "010",
                             "2147483647",
                             "2147483648",
                             "-2147483648",
                             "-2147483649",
                             "1e3",
                             "1E+3",
                             "1.5",
                             ".5",
                             "5.",
                             "1.e3",
                             "+.5e1",
                             ".",
                             "+",
                             "-",
                             "e5",
                             "1e",
                             "1,5",
                             "1_000",
                             "0x1p3",
                             "inf",
                             "INF",
                             "+inf",
                             "-inf",
                             "nan",
                             "NaN",
                             "+nan",
                             "-nan",
                             "nan(1)",
                             "infinity",
                             "1e400",
                             "1.8e308",
                             "1.7976931348623157e308",
                             "1e-320",
                             "4.9e-324",
                             "2e-324",
                             "1e-400",
                             "0e999",
                             "  -0  ",
                             "1d",
                             "1f",
                             "\xC2\xA0"
                             "5",
                             "5\xC2\xA0",
                             "\xE3\x80\x80"
                             "5",
                             "\xE2\x80\x8B"
                             "5",
                             "\xD9\xA3",
                             "\xEF\xBC\x91\xEF\xBC\x92"})
        QTest::newRow(text) << QByteArray(text);
}

// Where Qt accepts, the same value; where it refuses, nothing.
void CoreTextTest::numbersReadAsQtReadsThem()
{
    QFETCH(QByteArray, text);
    const QString typed = QString::fromUtf8(text);
    bool wholeAccepted = false;
    const int whole = typed.toInt(&wholeAccepted, 10);
    const std::optional<int> readWhole = readWholeNumber(text.toStdString());
    QCOMPARE(readWhole.has_value(), wholeAccepted);
    if (readWhole)
        QCOMPARE(*readWhole, whole);

    bool decimalAccepted = false;
    const double decimal = typed.toDouble(&decimalAccepted);
    const std::optional<double> readDecimal = readDecimalNumber(text.toStdString());
    QCOMPARE(readDecimal.has_value(), decimalAccepted);
    if (readDecimal && !std::isnan(decimal)) {
        QCOMPARE(*readDecimal, decimal);
        QCOMPARE(std::signbit(*readDecimal), std::signbit(decimal));
    }
}

void CoreTextTest::ascDateUnderAnyLocale_data()
{
    QTest::addColumn<qint64>("millis");
    QTest::addColumn<QByteArray>("locale");
    for (const char *locale : {"C", "de_DE.utf8", "it_IT"}) {
        QTest::newRow(QByteArray("epoch, ") + locale) << qint64(0) << QByteArray(locale);
        QTest::newRow(QByteArray("noon, ") + locale) << qint64(1700049600123) << QByteArray(locale);
        QTest::newRow(QByteArray("late, ") + locale) << qint64(1767225599999) << QByteArray(locale);
        QTest::newRow(QByteArray("before 1970, ") + locale) << qint64(-1) << QByteArray(locale);
    }
}

void CoreTextTest::ascDateUnderAnyLocale()
{
    QFETCH(qint64, millis);
    QFETCH(QByteArray, locale);
    const QString expected =
        QDateTime::fromMSecsSinceEpoch(millis).toString("ddd MMM dd hh:mm:ss.zzz ap yyyy");
    const char *previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, locale.constData());
    const std::string date = ascDate(millis);
    std::setlocale(LC_ALL, saved.c_str());
    QCOMPARE(QString::fromStdString(date), expected);
}

QTEST_APPLESS_MAIN(CoreTextTest)
#include "tst_coretext.moc"
