#include "commandline.h"

#include "conversion/decoderinputs.h"
#include "corestrings.h"
#include "files/inputfile.h"

#include <QCoreApplication>

#include <cstdio>

void report(const QString &message)
{
    // A path in it is given back as the bytes it was given as.
    const std::string line = nativePath(QString(kProgramName) + ": " + oneLine(message) + '\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
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

bool print(const QString &text)
{
    return printBytes(nativePath(text));
}

bool printBytes(const std::string &bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return std::fflush(stdout) == 0 && written;
}

bool outputIsAnInput(const QString &output, const QStringList &inputs)
{
    const std::string outputPath = nativePath(output);
    for (const QString &input : inputs) {
        if (!input.isEmpty() && sameFile(outputPath, nativePath(input))) {
            report(output + ": " + kOutputIsInput);
            return true;
        }
    }
    return false;
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
    // Not addHelpOption(): its --help-all would tell of Qt's own options, which no command has.
    parser.addOption({{"h", "help"}, "Displays help on commandline options."});
}

std::optional<int> CommandLine::parse(const QStringList &arguments)
{
    if (!parser.parse(QStringList{QString(kProgramName) + ' ' + command} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet("help")) {
        print(helpText());
        return kExitSuccess;
    }
    return emptyOutputName();
}

// An empty name, as an unset variable in a script gives, would stand for a name the command
// chooses itself (decode's NAME.csv) or for the current folder.
std::optional<int> CommandLine::emptyOutputName() const
{
    for (const QString &name : parser.optionNames()) {
        const bool output = name == "o" || name == "output" || name == "out-dir";
        if (output && parser.values(name).contains(QString()))
            return usageError((name.size() == 1 ? "-" : "--") + name + " needs a name, not ''");
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

int dispatch(const QStringList &arguments, const std::vector<Command> &commands)
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

} // namespace

int checkedStandardOutput(int status)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    report("standard output: " + qtText(conversionOutcomeText(ConversionOutcome::WriteFailed)));
    return kExitFailure;
}

int runProgram(const QStringList &arguments, const std::vector<Command> &commands)
{
    return checkedStandardOutput(dispatch(arguments, commands));
}

QStringList programArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << qtPath(argv[i]);
    return arguments;
}
