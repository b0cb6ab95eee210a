#include "dbccommand.h"

#include "commandline.h"
#include "corestrings.h"
#include "database/databasefile.h"
#include "files/replacingfile.h"
#include "text/numbertext.h"

namespace {

constexpr char kStandardOutput[] = "-";

// VEHICLE.dbc gives VEHICLE.json beside it.
QString defaultCandbPath(const QString &dbcPath)
{
    const QString stem = isDbcPath(nativePath(dbcPath)) ? dbcPath.chopped(4) : dbcPath;
    return stem + ".json";
}

// The whole document or nothing: an earlier file keeps its content when writing fails.
bool writeDocument(const QString &path, const std::string &text)
{
    if (path == kStandardOutput)
        return printBytes(text);
    return replaceFileWith(nativePath(path), text.data(), text.size());
}

QString summary(const DbcConversion &conversion, const QString &output)
{
    const nlohmann::ordered_json &messages = conversion.document["messages"];
    size_t signalCount = 0;
    for (const auto &message : messages)
        signalCount += message["signals"].size();
    QString text = QString("%1 and %2 written to %3")
                       .arg(qtText(counted(messages.size(), "message", "messages")),
                            qtText(counted(signalCount, "signal", "signals")),
                            output == kStandardOutput ? "standard output" : output);
    if (!conversion.warnings.empty())
        text +=
            "; " + qtText(counted(conversion.warnings.size(), "signal", "signals")) + " left out";
    return text;
}

} // namespace

int runCandbFromDbc(const QStringList &arguments)
{
    CommandLine line(
        "candb-from-dbc",
        "Converts a DBC file into a Candb file that the window and the decoder accept: one\n"
        "message per BO_ with its signals. Multiplexed and floating-point signals, and signals\n"
        "a Candb file cannot hold, are left out with a warning each on standard error;\n"
        "text the DBC format does not allow but which is read, with one line per kind.");
    QCommandLineParser &parser = line.parser;
    parser.addPositionalArgument("dbc", "The DBC file.", "VEHICLE.dbc");
    parser.addOption({{"o", "output"},
                      "The Candb file to write (default: the DBC file's name with .json; "
                      "- for standard output).",
                      "file"});
    parser.addOption({"quiet", "No closing line; only problems and warnings are reported."});
    if (const std::optional<int> status = line.parse(arguments))
        return *status;

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return line.usageError(positional.isEmpty() ? "no DBC file given"
                                                    : "only one DBC file is converted");
    const QString dbcPath = positional[0];
    const QString output =
        parser.isSet("output") ? parser.value("output") : defaultCandbPath(dbcPath);

    if (outputIsAnInput(output, {dbcPath}))
        return kExitFailure;
    const DbcFile input = readDbcFile(nativePath(dbcPath));
    if (!input.problem.empty()) {
        report(dbcPath + ": " + qtText(input.problem));
        return kExitFailure;
    }
    for (const std::string &deviation : input.conversion.deviations)
        report(qtText(deviation));
    for (const std::string &warning : input.conversion.warnings)
        report(qtText(warning));
    if (!writeDocument(output, input.conversion.document.dump(2) + '\n')) {
        // Standard output's failure is reported as the program ends, as every command's is.
        if (output != kStandardOutput)
            report(output + ": the file cannot be written");
        return kExitFailure;
    }
    if (!parser.isSet("quiet"))
        report(summary(input.conversion, output));
    return kExitSuccess;
}
