#include "corestrings.h"
#include "frametext.h"
#include "log/logfile.h"

#include <QtTest>

#include <sstream>

class QvlWriteTest : public QObject
{
    Q_OBJECT

private slots:
    void frameLines_data();
    void frameLines();
    void badLines_data();
    void badLines();
    void writesLog();
    void keepsExistingFiles();

private:
    QProcess *run(const QStringList &arguments, const QByteArray &input);
};

void QvlWriteTest::frameLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("id");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<uint>("time");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("standard, spaced bytes")
        << QByteArray("1500000 123 std 11 22 33 44 55 66 77 88") << 0x123u << false << 1500000u
        << QByteArray("1122334455667788");
    QTest::newRow("extended, 0x, one word") << QByteArray("0 0x18FEF100 ext 0102") << 0x18FEF100u
                                            << true << 0u << QByteArray("0102000000000000");
    QTest::newRow("no data, comment, CRLF")
        << QByteArray("\t4294967295  7ff std # last\r") << 0x7FFu << false << 4294967295u
        << QByteArray("0000000000000000");
    QTest::newRow("lower-case hex") << QByteArray("5 1fffffff ext ab cd") << 0x1FFFFFFFu << true
                                    << 5u << QByteArray("abcd000000000000");
}

void QvlWriteTest::frameLines()
{
    QFETCH(QByteArray, text);
    QFETCH(uint, id);
    QFETCH(bool, extended);
    QFETCH(uint, time);
    QFETCH(QByteArray, data);

    std::istringstream in("# time id format data\n\n" + text.toStdString() + "\n   \n");
    std::vector<LogFrame> frames;
    std::string error;
    QVERIFY2(readFrameText(in, frames, error), error.c_str());
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].id, id);
    QCOMPARE(frames[0].extended, extended);
    QCOMPARE(frames[0].time, time);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frames[0].data.data()), 8).toHex(),
             data.toLower());
}

void QvlWriteTest::badLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");

    const QString time = "line 2: the time must be whole microseconds from 0 to 4294967295";
    const QString format = "line 2: the format must be std or ext";
    const QString data = "line 2: the data must be up to 8 bytes of two hexadecimal digits each";
    QTest::newRow("time too large") << QByteArray("4294967296 1 std") << time;
    QTest::newRow("time negative") << QByteArray("-1 1 std") << time;
    QTest::newRow("time in hex") << QByteArray("0x10 1 std") << time;
    QTest::newRow("format missing") << QByteArray("10 1") << format;
    QTest::newRow("format unknown") << QByteArray("10 1 xtd") << format;
    QTest::newRow("standard id too large")
        << QByteArray("10 800 std")
        << "line 2: a standard identifier must be hexadecimal, at most 7FF";
    QTest::newRow("extended id too large")
        << QByteArray("10 20000000 ext")
        << "line 2: an extended identifier must be hexadecimal, at most 1FFFFFFF";
    QTest::newRow("id not hex") << QByteArray("10 12G std")
                                << "line 2: a standard identifier must be hexadecimal, at most 7FF";
    QTest::newRow("nine bytes") << QByteArray("10 1 std 11 22 33 44 55 66 77 88 99") << data;
    QTest::newRow("odd digits") << QByteArray("10 1 std 112") << data;
    QTest::newRow("not hex data") << QByteArray("10 1 std 1x") << data;
}

void QvlWriteTest::badLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, error);

    std::istringstream in("10 1 std\n" + line.toStdString() + "\n10 2 std\n");
    std::vector<LogFrame> frames;
    std::string problem;
    QVERIFY(!readFrameText(in, frames, problem));
    QCOMPARE(QString::fromStdString(problem), error);
}

QProcess *QvlWriteTest::run(const QStringList &arguments, const QByteArray &input)
{
    auto *process = new QProcess(this);
    process->start(QVLWRITE_PATH, arguments);
    process->write(input);
    process->closeWriteChannel();
    process->waitForFinished();
    return process;
}

void QvlWriteTest::writesLog()
{
    QTemporaryDir dir;
    const QString output = dir.filePath("out.qvl");
    QProcess *process = run({output}, "100 123 std 11 22\n200 18FEF100 ext\n");
    QCOMPARE(process->exitCode(), 0);

    LogReader reader;
    QVERIFY(reader.open(nativePath(output)));
    CAN_FIFOMailBox_TypeDef record;
    QCOMPARE(reader.read(&record, 1), size_t(1));
    const Log first = decodeMailbox(record);
    QCOMPARE(first.ID, 0x123u);
    QCOMPARE(first.Time, 100u);
    QCOMPARE(int(first.Data[1]), 0x22);
    QCOMPARE(reader.read(&record, 1), size_t(1));
    QCOMPARE(decodeMailbox(record).ID, 0x98FEF100u);
    QCOMPARE(reader.read(&record, 1), size_t(0));
}

void QvlWriteTest::keepsExistingFiles()
{
    QTemporaryDir dir;
    const QString output = dir.filePath("out.qvl");
    QFile file(output);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write("keep me"), qint64(7));
    file.close();
    const auto contents = [&output] {
        QFile file(output);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    QProcess *process = run({output}, "100 123 std\n");
    QCOMPARE(process->exitCode(), 1);
    QVERIFY(process->readAllStandardError().contains("give -f to replace it"));
    QCOMPARE(contents(), QByteArray("keep me"));

    // A bad line is found before the output is touched, even with -f.
    process = run({"-f", output}, "100 123 std\n100 999 std\n");
    QCOMPARE(process->exitCode(), 1);
    QCOMPARE(
        process->readAllStandardError(),
        QByteArray("qvlwrite: line 2: a standard identifier must be hexadecimal, at most 7FF\n"));
    QCOMPARE(contents(), QByteArray("keep me"));

    process = run({"-f", output}, "100 123 std\n");
    QCOMPARE(process->exitCode(), 0);
    QCOMPARE(contents().size(), 16);
}

QTEST_GUILESS_MAIN(QvlWriteTest)
#include "tst_qvlwrite.moc"
