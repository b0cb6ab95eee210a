#include "files/temporaryname.h"
#include "plotpainter.h"
#include "viewercommandline.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

bool grabbing(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--grab") == 0 || std::strncmp(argv[i], "--grab=", 7) == 0)
            return true;
    return false;
}

} // namespace

// quorvane-view: browses the signals of a log or a table.
int main(int argc, char **argv)
{
    // A picture for a script needs no display: Qt's "offscreen" platform draws it.
    if (grabbing(argc, argv)) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(dropPlatformWarnings);
    }
    removeTemporariesOnSignals();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quorvane");
    QCoreApplication::setApplicationName("quorvane-view");
    QCoreApplication::setApplicationVersion(QUORVANE_VERSION);
    QString problem;
    const ViewerOptions options = readViewerOptions(QCoreApplication::arguments(), problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "quorvane-view: %s\nTry 'quorvane-view --help'.\n",
                     qPrintable(problem));
        return 2;
    }
    return runViewer(options);
}
