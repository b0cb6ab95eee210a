#include "commands.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProgramName);
    return runProgram(programArguments(argc, argv), allCommands());
}
