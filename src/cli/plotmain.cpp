#include "commandline.h"
#include "files/temporaryname.h"
#include "plotcommand.h"
#include "plotpainter.h"

#include <QGuiApplication>

// quorvane-cli-plot: the plot command of quorvane-cli, which starts it. On the "offscreen"
// platform a QGuiApplication needs no display.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Starting the platform warns of things a program that only draws into files does not use,
    // such as a missing XDG_RUNTIME_DIR; they would read as the command's own messages.
    const QtMessageHandler previous = qInstallMessageHandler(dropPlatformWarnings);
    removeTemporariesOnSignals();
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(previous);
    QCoreApplication::setApplicationName(kProgramName);
    // The application took its own options out of argv.
    return checkedStandardOutput(runPlot(programArguments(argc, argv)));
}
