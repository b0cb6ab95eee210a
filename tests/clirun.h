#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// Runs the built quorvane-cli, as a user or a script would, and keeps what it left behind.
struct CliRun
{
    int status = -1; // exit status; -1 when it did not start or crashed
    QByteArray out;  // standard output
    QByteArray err;  // standard error
};

// `prepare` may set up the process further before it starts: its environment, its channels.
inline CliRun runCli(const QStringList &arguments, const QString &workingDirectory = QString(),
                     const QByteArray &input = QByteArray(),
                     const std::function<void(QProcess &)> &prepare = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    if (prepare)
        prepare(process);
    process.start(QUORVANE_CLI_PATH, arguments);
    CliRun run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    return run;
}
