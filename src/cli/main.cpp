#include "commands.h"
#include "files/temporaryname.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    removeTemporariesOnSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProgramName);
    return runProgram(programArguments(argc, argv), allCommands());
}
