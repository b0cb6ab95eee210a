#include "files/replacingfile.h"
#include "files/temporaryname.h"
#include "filesizelimit.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A file's name only ever holds a whole file; only devices are written in place.
class ReplacingFileTest : public QObject
{
    Q_OBJECT

private slots:
    void replacedOnlyWhenComplete_data();
    void replacedOnlyWhenComplete();
    void permissionsStay();
    void newFileGetsTheUsualPermissions();
    void devicesAreWrittenInPlace_data();
    void devicesAreWrittenInPlace();
    void folderRemovedBeforeCommit_data();
    void folderRemovedBeforeCommit();
    void readOnlyFileIsRefused();
    void killedWhileWritingLeavesNothing();
    void signalRemovesTemporaries_data();
    void signalRemovesTemporaries();
};

namespace {

const QByteArray kEarlier = "earlier content\n";
const QByteArray kNew(4096, 'n');

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

// Writes `bytes` and commits, or discards after a failed write as the program does.
bool replace(const QString &path, const QByteArray &bytes)
{
    ReplacingFile file;
    if (!file.open(nativePath(path)))
        return false;
    if (!file.write(bytes.constData(), size_t(bytes.size()))) {
        file.discard();
        return false;
    }
    return file.commit();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

void ReplacingFileTest::replacedOnlyWhenComplete_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<bool>("diskFills");

    // A link named out.csv leads to file.real; a hard link also names it other.csv. A 255-byte
    // name leaves no room for a temporary name made from it.
    for (const char *earlier : {"", "file", "link", "hard link", "255-byte name"}) {
        const QString kind = *earlier ? earlier : "no file";
        QTest::newRow(qPrintable(kind + ", complete")) << QString(earlier) << false;
        QTest::newRow(qPrintable(kind + ", disk fills")) << QString(earlier) << true;
    }
}

void ReplacingFileTest::replacedOnlyWhenComplete()
{
    QFETCH(QString, earlier);
    QFETCH(bool, diskFills);
    QTemporaryDir dir;
    const QString path =
        dir.filePath(earlier == "255-byte name" ? QString(251, 'L') + ".csv" : QString("out.csv"));
    QString otherName; // another name of the earlier content, which must keep it
    if (earlier == "file" || earlier == "255-byte name" || earlier == "hard link")
        QVERIFY(writeFile(path, kEarlier));
    if (earlier == "hard link") {
        otherName = dir.filePath("other.csv");
        QCOMPARE(::link(nativePath(path).c_str(), nativePath(otherName).c_str()), 0);
    }
    if (earlier == "link") {
        otherName = dir.filePath("file.real");
        QVERIFY(writeFile(otherName, kEarlier));
        QVERIFY(QFile::link(otherName, path));
    }
    const QStringList filesBefore =
        earlier.isEmpty() ? QStringList{QFileInfo(path).fileName()} : filesIn(dir.path());

    bool replaced;
    {
        FileSizeLimit limit(diskFills ? 1000 : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        replaced = replace(path, kNew);
    }
    QCOMPARE(replaced, !diskFills);
    if (!diskFills)
        QCOMPARE(contentOf(path), kNew);
    else
        QCOMPARE(contentOf(path), earlier.isEmpty() ? QByteArray("(absent)") : kEarlier);
    // Through a symbolic link the file is replaced; a hard link's other name keeps its content.
    if (earlier == "hard link")
        QCOMPARE(contentOf(otherName), kEarlier);
    // No temporary file left behind, and a link stays a link.
    QCOMPARE(filesIn(dir.path()), diskFills && earlier.isEmpty() ? QStringList() : filesBefore);
    QCOMPARE(QFileInfo(path).isSymLink(), earlier == "link");
}

void ReplacingFileTest::permissionsStay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.qvc");
    QVERIFY(writeFile(path, kEarlier));
    QCOMPARE(::chmod(nativePath(path).c_str(), 0640), 0);
    QVERIFY(replace(path, kNew));
    struct stat info;
    QCOMPARE(::stat(nativePath(path).c_str(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0640));
}

void ReplacingFileTest::newFileGetsTheUsualPermissions()
{
    QTemporaryDir dir;
    const mode_t mask = ::umask(022);
    const QString path = dir.filePath("config.qvc");
    const bool replaced = replace(path, kNew);
    ::umask(mask);
    QVERIFY(replaced);
    struct stat info;
    QCOMPARE(::stat(nativePath(path).c_str(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0644));
}

void ReplacingFileTest::devicesAreWrittenInPlace_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("stored");
    QTest::newRow("/dev/null takes everything") << "/dev/null" << true;
    QTest::newRow("/dev/full takes nothing") << "/dev/full" << false;
}

void ReplacingFileTest::devicesAreWrittenInPlace()
{
    QFETCH(QString, device);
    QFETCH(bool, stored);
    struct stat before;
    QCOMPARE(::stat(nativePath(device).c_str(), &before), 0);
    QCOMPARE(replace(device, kNew), stored);
    // Renamed over or removed, the device would be gone for every program (tests run as root).
    struct stat after;
    QCOMPARE(::stat(nativePath(device).c_str(), &after), 0);
    QVERIFY(S_ISCHR(after.st_mode));
    QCOMPARE(after.st_rdev, before.st_rdev);
    QCOMPARE(after.st_ino, before.st_ino);
}

void ReplacingFileTest::folderRemovedBeforeCommit_data()
{
    QTest::addColumn<bool>("earlierFile");
    QTest::newRow("new file") << false;
    QTest::newRow("earlier file") << true;
}

void ReplacingFileTest::folderRemovedBeforeCommit()
{
    QFETCH(bool, earlierFile);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("out"));
    const QString path = dir.filePath("out/table.csv");
    if (earlierFile)
        QVERIFY(writeFile(path, kEarlier));
    ReplacingFile file;
    QVERIFY(file.open(nativePath(path)));
    QVERIFY(file.write(kNew.constData(), size_t(kNew.size())));
    QVERIFY(QDir(dir.filePath("out")).removeRecursively());
    // Written, but under no name any more: no success.
    QVERIFY(!file.commit());
}

void ReplacingFileTest::readOnlyFileIsRefused()
{
    if (::geteuid() == 0)
        QSKIP("root may write any file, so a read-only file stops nothing here");
    QTemporaryDir dir;
    const QString path = dir.filePath("config.qvc");
    QVERIFY(writeFile(path, kEarlier));
    QCOMPARE(::chmod(nativePath(path).c_str(), 0444), 0);
    QVERIFY(!replace(path, kNew));
    QCOMPARE(contentOf(path), kEarlier);
}

// A run killed while it writes, a new file and a replacement: the folder is as it was, with no
// part of a file under any name.
void ReplacingFileTest::killedWhileWritingLeavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("earlier.csv"), kEarlier));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ReplacingFile created, replacing;
        const bool written = created.open(nativePath(dir.filePath("new.csv"))) &&
                             replacing.open(nativePath(dir.filePath("earlier.csv"))) &&
                             created.write(kNew.constData(), size_t(kNew.size())) &&
                             replacing.write(kNew.constData(), size_t(kNew.size()));
        if (written)
            ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(filesIn(dir.path()), QStringList{"earlier.csv"});
    QCOMPARE(contentOf(dir.filePath("earlier.csv")), kEarlier);
}

void ReplacingFileTest::signalRemovesTemporaries_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << SIGINT;
    QTest::newRow("kill") << SIGTERM;
    QTest::newRow("a closed terminal") << SIGHUP;
    QTest::newRow("a closed pipe") << SIGPIPE;
}

// Where files have hidden names while they are written, a signal removes the names still held,
// leaves what was let go, and still ends the program with its own status.
void ReplacingFileTest::signalRemovesTemporaries()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QStringList names = {".quorvane-held1", ".quorvane-held2", ".quorvane-let-go", "kept"};
    for (const QString &name : names)
        QVERIFY(writeFile(dir.filePath(name), kEarlier));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::signal(signalNumber, SIG_DFL);
        removeTemporariesOnSignals();
        const TemporaryName held(nativePath(dir.filePath(names[0])));
        TemporaryName handedOver(nativePath(dir.filePath(names[1])));
        TemporaryName replaced(nativePath(dir.filePath(names[2])));
        replaced = std::move(handedOver); // lets its own name go, holds the other
        ::raise(signalNumber);
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), signalNumber);
    QCOMPARE(filesIn(dir.path()), (QStringList{".quorvane-let-go", "kept"}));
}

QTEST_APPLESS_MAIN(ReplacingFileTest)
#include "tst_replacingfile.moc"
