#include "commands.h"
#include "plotcommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void dropWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Drawing text needs fonts, which only a QGuiApplication provides; on the "offscreen" platform it
// needs no display. Every other command runs on Qt Core alone.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], kPlotCommandName) != 0)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Starting the platform warns of things a program that only draws into files does not use,
    // such as a missing XDG_RUNTIME_DIR; they would read as the command's own messages.
    const QtMessageHandler previous = qInstallMessageHandler(dropWarnings);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(previous);
    return app;
}

} // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(kProgramName);
    return runProgram(QCoreApplication::arguments().mid(1), allCommands());
}
