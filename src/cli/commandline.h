#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The conventions every command of quorvane-cli keeps: results on standard output, messages on
// standard error prefixed with the program's name, and one meaning for each exit status.

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1; // bad input, or a job that failed
constexpr int kExitUsage = 2;   // unknown command or option, missing or extra argument

constexpr char kProgramName[] = "quorvane-cli";

// Prints "quorvane-cli: " and the message on standard error. A message of several lines, such as
// the window's "Candb json not Valid" and its reason, is put on one line.
void report(const QString &message);
// The message as one line: a line break after '!' or ':' becomes a space, any other one ": ".
QString oneLine(const QString &message);
// Text for standard output, as UTF-8 (a path in it as its bytes); false when it could not all be
// written.
bool print(const QString &text);
// The core's text for standard output, its bytes as they are.
bool printBytes(const std::string &bytes);
// The exit status of a run: `status`, or failure, reported, when what the run sent to standard
// output could not all be written there (a full disk, a closed output).
int checkedStandardOutput(int status);

// True when `output` is the same file as one of `inputs`, through hard and symbolic links; then
// "OUTPUT: Output file is an input file!" has been reported. Empty inputs are left out.
bool outputIsAnInput(const QString &output, const QStringList &inputs);

// "A, B, C" for at most `shown` names, then "... (N more)"; for messages that list what exists.
QString listNames(const std::vector<QString> &names, int shown = 20);

// The options of one command, parsed with QCommandLineParser. The command adds its options and
// positional arguments, then calls parse(): when that gives a status the command is done
// (its help was asked for, or the arguments were wrong and the usage error was reported). An
// empty -o, --output or --out-dir is wrong in every command.
class CommandLine
{
public:
    CommandLine(const QString &command, const QString &description);

    QCommandLineParser parser;

    // `arguments` are the command's own, after its name.
    std::optional<int> parse(const QStringList &arguments);
    // parse(), then `read` takes what the options ask for into `request`, giving a status when
    // they cannot work together.
    template <typename Request>
    std::optional<int> parse(const QStringList &arguments, Request &request,
                             std::optional<int> (*read)(CommandLine &, Request &))
    {
        if (const std::optional<int> status = parse(arguments))
            return status;
        return read(*this, request);
    }
    // Reports a usage error, with a pointer to the command's help; gives kExitUsage.
    int usageError(const QString &message) const;
    // The command's help text, its usage line naming the command.
    QString helpText() const;

    // The option's values split at commas, empty parts dropped: --signals A,B --signals C.
    QStringList commaList(const QString &option) const;

private:
    std::optional<int> emptyOutputName() const;

    QString command;
};

// A command of quorvane-cli: its name, one line for the program's help, and its entry point,
// which takes the arguments after the command's name and returns the exit status.
struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments);
};

// The program itself: dispatches to the command named first, and answers --help, --version and
// "help COMMAND"; the status is checked as checkedStandardOutput does.
int runProgram(const QStringList &arguments, const std::vector<Command> &commands);
// The arguments after the program's name, as qtPath reads them: a file name is any bytes.
QStringList programArguments(int argc, char **argv);
