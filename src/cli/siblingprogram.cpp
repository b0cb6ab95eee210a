#include "siblingprogram.h"

#include "commandline.h"
#include "corestrings.h"
#include "plotcommand.h"
#include "viewcommand.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

int startSiblingProgram(const char *name, const QStringList &arguments)
{
    const QString program = QCoreApplication::applicationDirPath() + '/' + name;
    std::vector<QByteArray> words{QByteArray::fromStdString(nativePath(program))};
    for (const QString &argument : arguments)
        words.push_back(QByteArray::fromStdString(nativePath(argument)));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(argv.front(), argv.data());
    report(QString("%1: cannot start it: %2")
               .arg(program, QString::fromLocal8Bit(std::strerror(errno))));
    return kExitFailure;
}

int startPlotProgram(const QStringList &arguments)
{
    return startSiblingProgram(kPlotProgramName, arguments);
}

int startViewProgram(const QStringList &arguments)
{
    return startSiblingProgram(kViewProgramName, arguments);
}
