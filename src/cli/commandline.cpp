#include "commandline.h"

#include <QCoreApplication>

#include <cstdio>

void report(const QString &message)
{
    const QByteArray line = (QString(kProgramName) + ": " + oneLine(message) + '\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

QString oneLine(const QString &message)
{
    QString line;
    for (const QChar c : message) {
        if (c != '\n') {
            line += c;
            continue;
        }
        const bool punctuated = line.endsWith('!') || line.endsWith(':');
        line += punctuated ? " " : ": ";
    }
    return line;
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString listNames(const std::vector<QString> &names, int shown)
{
    QStringList listed;
    for (size_t i = 0; i < names.size() && int(i) < shown; ++i)
        listed << names[i];
    QString text = listed.join(", ");
    if (int(names.size()) > shown)
        text += QString(", ... (%1 more)").arg(names.size() - size_t(shown));
    return text;
}

CommandLine::CommandLine(const QString &command, const QString &description) : command(command)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
}

std::optional<int> CommandLine::parse(const QStringList &arguments)
{
    if (!parser.parse(QStringList{QString(kProgramName) + ' ' + command} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet("help")) {
        print(helpText());
        return kExitSuccess;
    }
    return std::nullopt;
}

int CommandLine::usageError(const QString &message) const
{
    report(message);
    report(QString("try '%1 help %2'").arg(kProgramName, command));
    return kExitUsage;
}

QString CommandLine::helpText() const
{
    // QCommandLineParser names the program as it was started; the usage line names the command.
    QString text = parser.helpText();
    const QString usage = "Usage: ";
    const QString started = QCoreApplication::arguments().value(0);
    if (text.startsWith(usage + started))
        text.replace(usage.size(), started.size(), QString(kProgramName) + ' ' + command);
    return text;
}

QStringList CommandLine::commaList(const QString &option) const
{
    QStringList items;
    for (const QString &value : parser.values(option))
        items += value.split(',', Qt::SkipEmptyParts);
    return items;
}

namespace {

QString programHelp(const std::vector<Command> &commands)
{
    QString text = QString("Usage: %1 COMMAND [OPTIONS] ARGUMENTS\n"
                           "The Decoder and the Configurator of Quorvane, without the window.\n\n"
                           "Commands:\n")
                       .arg(kProgramName);
    for (const Command &command : commands)
        text += QString("  %1%2\n").arg(QString(command.name).leftJustified(16), command.summary);
    text += QString("\n'%1 help COMMAND' or '%1 COMMAND --help' describes a command.\n"
                    "Exit status: 0 success, 1 bad input or a failed job, 2 wrong usage.\n")
                .arg(kProgramName);
    return text;
}

const Command *findCommand(const std::vector<Command> &commands, const QString &name)
{
    for (const Command &command : commands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

int unknownCommand(const QString &name)
{
    report(QString("unknown command '%1'; '%2 --help' lists the commands").arg(name, kProgramName));
    return kExitUsage;
}

} // namespace

int runProgram(const QStringList &arguments, const std::vector<Command> &commands)
{
    const QString first = arguments.value(0);
    if (first.isEmpty()) {
        report("no command given; '" + QString(kProgramName) + " --help' lists the commands");
        return kExitUsage;
    }
    if (first == "--help" || first == "-h" || (first == "help" && arguments.size() == 1)) {
        print(programHelp(commands));
        return kExitSuccess;
    }
    if (first == "--version" || first == "-v") {
        print(QString("%1 %2\n").arg(kProgramName, QUORVANE_VERSION));
        return kExitSuccess;
    }
    if (first == "help") {
        const Command *command = findCommand(commands, arguments[1]);
        return command ? command->run({"--help"}) : unknownCommand(arguments[1]);
    }
    const Command *command = findCommand(commands, first);
    return command ? command->run(arguments.mid(1)) : unknownCommand(first);
}
