#include "childwork.h"

#include "conversion/conversion.h"
#include "database/candb.h"
#include "mainwindow.h"
#include "measure.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// Answers the box that ends a conversion and notes when it appeared.
class FinishBoxWatcher : public QObject
{
public:
    explicit FinishBoxWatcher(const QElapsedTimer &clock) : clock(clock)
    {
        qApp->installEventFilter(this);
    }

    qint64 shownAtNs = -1;
    QString text;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (event->type() == QEvent::Show && box && box->isWindow() && shownAtNs < 0) {
            shownAtNs = clock.nsecsElapsed();
            text = box->text();
            QPointer<QMessageBox> target(box);
            // Pressed from inside the box's own modal loop, which starts after the show.
            QMetaObject::invokeMethod(
                this,
                [target] {
                    if (target)
                        target->button(QMessageBox::Ok)->click();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &clock;
};

void typeInto(MainWindow &window, const char *field, const QString &text)
{
    window.findChild<QTextEdit *>(field)->setPlainText(text);
}

} // namespace

std::optional<Candb> readBenchCandb(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    Candb candb = readCandb(in);
    if (!candb.ok()) {
        std::fprintf(stderr, "Candb file refused: %s\n", candb.error.c_str());
        return std::nullopt;
    }
    return candb;
}

int convertWithEngine(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    const std::optional<Candb> candb = readBenchCandb(argv[0]);
    if (!candb)
        return 2;
    ConversionJob job{argv[1], argv[2], uint32_t(std::strtoul(argv[3], nullptr, 10)),
                      std::string(argv[4]) == "1"};

    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const ConversionSummary summary = convertLog(*candb, job);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    if (summary.outcome != ConversionOutcome::Finished) {
        std::fprintf(stderr, "conversion failed: outcome %d\n", int(summary.outcome));
        return 3;
    }
    std::printf("%.6f %.6f %llu %llu %zu\n", seconds, cpu, (unsigned long long)summary.frames,
                (unsigned long long)summary.rows, summary.columns);
    return 0;
}

int convertThroughWindow(int argc, char **argv)
{
    if (argc != 6)
        return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    char name[] = "quorvane_bench";
    char *appArgv[] = {name, nullptr};
    // The window paints its pictures from the working directory, as when started by hand.
    if (QDir(QUORVANE_SOURCE_DIR "/images").exists())
        QDir::setCurrent(QUORVANE_SOURCE_DIR);
    QApplication app(appArgc, appArgv);
    MainWindow window;
    window.show();
    QApplication::processEvents();

    typeInto(window, "dbcpath", QString::fromLocal8Bit(argv[0]));
    typeInto(window, "logpath", QString::fromLocal8Bit(argv[1]));
    typeInto(window, "outputpath", QString::fromLocal8Bit(argv[2]));
    typeInto(window, "FIleName", QString::fromLocal8Bit(argv[3]));
    typeInto(window, "ConvFreq", QString::fromLocal8Bit(argv[4]));
    window.findChild<QCheckBox *>("smart")->setChecked(std::string(argv[5]) == "1");

    QElapsedTimer clock;
    FinishBoxWatcher watcher(clock);
    const double cpuBefore = processCpuSeconds();
    clock.start();
    window.findChild<QPushButton *>("Convert")->click();
    const double cpu = processCpuSeconds() - cpuBefore;
    if (watcher.text != "Finish conversion!") {
        std::fprintf(stderr, "the window said: %s\n", qPrintable(watcher.text));
        return 3;
    }
    // Frames, rows and columns are those of the engine's run of the same workload.
    std::printf("%.6f %.6f 0 0 0\n", double(watcher.shownAtNs) * 1e-9, cpu);
    return 0;
}
