#include "corestrings.h"
#include "log/logfile.h"

#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

QByteArray dataOf(const Log &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.Data), sizeof frame.Data);
}

Log decodeHex(const QByteArray &hex)
{
    const QByteArray record = QByteArray::fromHex(hex);
    return decodeMailbox(readMailbox(reinterpret_cast<const uint8_t *>(record.constData())));
}

LogFrame frame(uint32_t id, bool extended, uint32_t time, const QByteArray &hexData)
{
    LogFrame result{id, extended, time, {}};
    const QByteArray data = QByteArray::fromHex(hexData);
    std::copy(data.begin(), data.end(), result.data.begin());
    return result;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Reads a whole log; the frames' times in file order.
std::vector<uint32_t> readTimes(const QString &path, LogReader &reader)
{
    std::vector<uint32_t> times;
    if (!reader.open(nativePath(path)))
        return times;
    CAN_FIFOMailBox_TypeDef record;
    while (reader.read(&record, 1) == 1)
        times.push_back(decodeMailbox(record).Time);
    return times;
}

} // namespace

class LogFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void decode_data();
    void decode();
    void wordsAreLittleEndian();
    void encode_data();
    void encode();
    void wholeRecordsOnly_data();
    void wholeRecordsOnly();
    void largeLogAcrossReads();
    void batchesAsRecordByRecord_data();
    void batchesAsRecordByRecord();
    void reopenStartsAgain();
    void missingFile();
    void readErrorIsNotTheEnd();
    void writeFailures();

private:
    QString writeLargeLog() const;

    QScopedPointer<QTemporaryDir> dir;
};

constexpr int kLargeLogRecords = 150000;

// More records than the standard library reads at once, then 7 bytes of a partial record. Record i
// has time i and identifier i mod 0x800, extended for every third. Empty if it cannot be made.
QString LogFileTest::writeLargeLog() const
{
    std::vector<LogFrame> frames;
    for (int i = 0; i < kLargeLogRecords; ++i)
        frames.push_back(frame(uint32_t(i % 0x800), i % 3 == 0, uint32_t(i), "0102030405060708"));
    const QString path = dir->filePath("large.qvl");
    QFile file(path);
    if (!writeLogFile(nativePath(path), frames) || !file.open(QIODevice::Append) ||
        file.write("partial") != 7)
        return QString();
    return path;
}

void LogFileTest::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void LogFileTest::decode_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<uint>("id");
    QTest::addColumn<int>("ide");
    QTest::addColumn<uint>("time");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("standard 0x123 at 1.5 s")
        << QByteArray("0000602460E316001122334455667788") << 0x123u << 0 << 1500000u
        << QByteArray("1122334455667788");
    QTest::newRow("extended 0x18FEF100")
        << QByteArray("0488F7C7000000000000000000000000") << 0x98FEF100u << 4 << 0u
        << QByteArray("0000000000000000");
    QTest::newRow("extended remote") << QByteArray("0688F7C701000000A1A2A3A4A5A6A7A8")
                                     << 0x98FEF100u << 4 << 1u << QByteArray("A1A2A3A4A5A6A7A8");
    QTest::newRow("extended 0x123") << QByteArray("1C090000FFFFFFFF0000000000000000") << 0x80000123u
                                    << 4 << 4294967295u << QByteArray("0000000000000000");
    QTest::newRow("standard, unused bits set")
        << QByteArray("FBFF7F24000000000000000000000000") << 0x123u << 0 << 0u
        << QByteArray("0000000000000000");
    QTest::newRow("largest standard") << QByteArray("0000E0FF000000000000000000000000") << 0x7FFu
                                      << 0 << 0u << QByteArray("0000000000000000");
    QTest::newRow("largest extended") << QByteArray("FCFFFFFF000000000000000000000000")
                                      << 0x9FFFFFFFu << 4 << 0u << QByteArray("0000000000000000");
}

void LogFileTest::decode()
{
    QFETCH(QByteArray, record);
    QFETCH(uint, id);
    QFETCH(int, ide);
    QFETCH(uint, time);
    QFETCH(QByteArray, data);

    const Log frame = decodeHex(record);
    QCOMPARE(frame.ID, id);
    QCOMPARE(int(frame.IDE), ide);
    QCOMPARE(frame.Time, time);
    QCOMPARE(dataOf(frame).toHex().toUpper(), data);
}

void LogFileTest::wordsAreLittleEndian()
{
    const QByteArray record = QByteArray::fromHex("0000602460E316001122334455667788");
    const CAN_FIFOMailBox_TypeDef box =
        readMailbox(reinterpret_cast<const uint8_t *>(record.constData()));
    QCOMPARE(box.RIR, 0x24600000u);
    QCOMPARE(box.RDTR, 1500000u);
    QCOMPARE(box.RDLR, 0x44332211u);
    QCOMPARE(box.RDHR, 0x88776655u);
}

void LogFileTest::encode_data()
{
    QTest::addColumn<uint>("id");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<uint>("time");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("standard 0x123") << 0x123u << false << 1500000u << QByteArray("1122334455667788")
                                    << QByteArray("0000602460e316001122334455667788");
    QTest::newRow("extended 0x18FEF100") << 0x18FEF100u << true << 0u << QByteArray("01")
                                         << QByteArray("0488f7c7000000000100000000000000");
    QTest::newRow("extended 0x123") << 0x123u << true << 4294967295u << QByteArray()
                                    << QByteArray("1c090000ffffffff0000000000000000");
}

void LogFileTest::encode()
{
    QFETCH(uint, id);
    QFETCH(bool, extended);
    QFETCH(uint, time);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, record);

    const auto bytes = encodeRecord(frame(id, extended, time, data));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())).toHex(),
             record);
    const Log decoded = decodeMailbox(readMailbox(bytes.data()));
    QCOMPARE(decoded.ID, id | (extended ? kExtendedIdFlag : 0));
    QCOMPARE(decoded.Time, time);
}

void LogFileTest::wholeRecordsOnly_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("frames");

    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("15 bytes") << 15 << 0;
    QTest::newRow("16 bytes") << 16 << 1;
    QTest::newRow("33 bytes") << 33 << 2;
    QTest::newRow("47 bytes") << 47 << 2;
}

void LogFileTest::wholeRecordsOnly()
{
    QFETCH(int, size);
    QFETCH(int, frames);

    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(i / 16 + 1)); // each record's time tells which record it is
    const QString path = dir->filePath("log.qvl");
    QVERIFY(writeBytes(path, bytes));

    LogReader reader;
    const std::vector<uint32_t> times = readTimes(path, reader);
    QCOMPARE(int(times.size()), frames);
    for (int i = 0; i < frames; ++i)
        QCOMPARE(times[i], 0x01010101u * uint32_t(i + 1));
    QVERIFY(!reader.failed());
    QCOMPARE(reader.bytesRead(), uint64_t(16 * frames));
}

// Record by record through a large log with a partial record at the end.
void LogFileTest::largeLogAcrossReads()
{
    const int count = kLargeLogRecords;
    const QString path = writeLargeLog();
    QVERIFY(!path.isEmpty());

    LogReader reader;
    QVERIFY(reader.open(nativePath(path)));
    CAN_FIFOMailBox_TypeDef record;
    int read = 0;
    for (; reader.read(&record, 1) == 1; ++read) {
        const Log decoded = decodeMailbox(record);
        if (decoded.Time != uint32_t(read) ||
            decoded.ID != (uint32_t(read % 0x800) | (read % 3 == 0 ? kExtendedIdFlag : 0)))
            QFAIL(qPrintable(QString("record %1 read wrongly").arg(read)));
    }
    QCOMPARE(read, count);
    QVERIFY(!reader.failed());
    QCOMPARE(reader.bytesRead(), uint64_t(16) * count);
}

void LogFileTest::batchesAsRecordByRecord_data()
{
    QTest::addColumn<std::vector<int>>("pattern"); // batch sizes in turn
    QTest::newRow("batches only") << std::vector<int>{4096};
    QTest::newRow("odd batches") << std::vector<int>{7, 1, 3333};
    QTest::newRow("larger than the buffer") << std::vector<int>{100000};
    QTest::newRow("batches after single records") << std::vector<int>{1, 5000, 1, 1, 2};
}

// Batches of any size give the records in order, also when a part of a record is left at the
// end of a read, and when single records and batches alternate.
void LogFileTest::batchesAsRecordByRecord()
{
    QFETCH(std::vector<int>, pattern);
    const int count = kLargeLogRecords;
    const QString path = writeLargeLog();
    QVERIFY(!path.isEmpty());

    LogReader reader;
    QVERIFY(reader.open(nativePath(path)));
    std::vector<CAN_FIFOMailBox_TypeDef> batch(100000);
    int read = 0;
    for (size_t turn = 0;; ++turn) {
        const int size = pattern[turn % pattern.size()];
        const size_t got = reader.read(batch.data(), size_t(size));
        for (size_t i = 0; i < got; ++i, ++read) {
            if (decodeMailbox(batch[i]).Time != uint32_t(read))
                QFAIL(qPrintable(QString("record %1 read wrongly").arg(read)));
        }
        if (got == 0)
            break;
    }
    QCOMPARE(read, count);
    QVERIFY(!reader.failed());
    QCOMPARE(reader.bytesRead(), uint64_t(16) * count);
}

void LogFileTest::reopenStartsAgain()
{
    const QString path = dir->filePath("log.qvl");
    const std::string name = nativePath(path);
    QVERIFY(writeLogFile(name, {frame(1, false, 10, ""), frame(2, false, 20, "")}));

    LogReader reader;
    QVERIFY(reader.open(name));
    CAN_FIFOMailBox_TypeDef record;
    QCOMPARE(reader.read(&record, 1) + reader.read(&record, 1), size_t(2));
    QCOMPARE(reader.read(&record, 1), size_t(0));
    QVERIFY(reader.open(name));
    QCOMPARE(reader.bytesRead(), uint64_t(0));
    QCOMPARE(reader.read(&record, 1), size_t(1));
    QCOMPARE(decodeMailbox(record).Time, 10u);
}

void LogFileTest::missingFile()
{
    LogReader reader;
    QVERIFY(!reader.open(nativePath(dir->filePath("none.qvl"))));
    CAN_FIFOMailBox_TypeDef record;
    QCOMPARE(reader.read(&record, 1), size_t(0));
    QVERIFY(!reader.failed());
}

void LogFileTest::readErrorIsNotTheEnd()
{
#ifdef Q_OS_LINUX
    // The process's memory is a regular file here, but reading its first page fails (EIO):
    // nothing is mapped at address 0.
    const std::string memory = "/proc/self/mem";
    LogReader reader;
    QVERIFY(reader.open(memory));
    CAN_FIFOMailBox_TypeDef record;
    QCOMPARE(reader.read(&record, 1), size_t(0));
    QVERIFY(reader.failed());
    QCOMPARE(reader.bytesRead(), uint64_t(0));
    QVERIFY(reader.open(memory));
    QCOMPARE(reader.read(&record, 1), size_t(0));
    QVERIFY(reader.failed());
#else
    QSKIP("needs a file that opens but cannot be read");
#endif
}

void LogFileTest::writeFailures()
{
    const std::vector<LogFrame> frames(10, frame(0x123, false, 0, "11"));
    QVERIFY(!writeLogFile(nativePath(dir->filePath("no/such/folder.qvl")), frames));
    if (QFile::exists("/dev/full")) // takes the bytes, then fails on the flush: disk full
        QVERIFY(!writeLogFile("/dev/full", frames));
}

QTEST_GUILESS_MAIN(LogFileTest)
#include "tst_logfile.moc"
