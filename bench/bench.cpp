// Measures the conversion against the floors of the machine it runs on: R, the time to read
// the log in large blocks, and W, the time to write as many bytes as the table has. Makes its
// own inputs, converts each workload a few times, each time in a fresh process, and prints the
// medians.
//
//     quorvane_bench [--reps N] [--dir FOLDER] [--only W1,W2,W2win,W3,W4,W5,W6] [--smart 0|1]
//                    [--w1-seconds S] [--w2-seconds S] [--w4-mb MB] [--w5-seconds S]
//                    [--w6-mb MB] [--keep]

#include "childwork.h"
#include "conversion/decoderinputs.h"
#include "measure.h"
#include "traffic.h"
#include "viewwork.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef QUORVANE_BUILD_TYPE
#define QUORVANE_BUILD_TYPE "unknown"
#endif

namespace {

// Writes per run for the W floor: it varies more than the others.
constexpr int kWriteSamples = 2;

struct Options
{
    int reps = 3;
    std::string parent;
    std::set<std::string> only;
    bool smart = true; // the window's starting state
    double w1Seconds = 600;
    double w2Seconds = 120;
    double w4Megabytes = 1000;
    double w5Seconds = 60;
    double w6Megabytes = 1000;
    bool keep = false;
};

struct Workload
{
    std::string name;
    std::string candb;
    std::string log;
    uint32_t frequency = 100;
    bool throughWindow = false;
};

struct Result
{
    bool ok = true;
    uint64_t frames = 0, rows = 0, columns = 0;
    double inMB = 0, outMB = 0;
    double engine = 0, cpu = 0, read = 0, write = 0, spread = 0;
    double unwritten = 0; // the engine with its table going to /dev/null; 0: not measured
    double peakMiB = 0;
    double ratio() const { return engine / (read + write); }
    double timesRead() const { return engine / read; }
};

bool wanted(const Options &options, const std::string &name)
{
    return options.only.empty() || options.only.count(name) > 0;
}

std::string firstLineOf(const char *path, const char *key)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "?";
}

void printMachine(const Options &options)
{
    const double memoryKiB = std::atof(firstLineOf("/proc/meminfo", "MemTotal").c_str());
    std::printf("machine: %s, %ld cores, %.1f GiB memory\n",
                firstLineOf("/proc/cpuinfo", "model name").c_str(), sysconf(_SC_NPROCESSORS_ONLN),
                memoryKiB / (1 << 20));
    std::printf(
        "build: %s; smart %s; engine: median of %d runs; R, W: best of the runs; "
        "times in seconds, sizes in MB (10^6 bytes), peak resident memory in MiB; "
        "cpu: the engine's processor time, user and system, median; spread: (slowest - "
        "fastest) / median of the engine's runs; no file: the engine's median with the table "
        "going to /dev/null\n",
        QUORVANE_BUILD_TYPE, options.smart ? "on" : "off", options.reps);
}

std::string periodOf(const Workload &work)
{
    return std::to_string(periodMicros(work.frequency));
}

// The same conversion with the table thrown away: what is left is reading the log, decoding
// and making the text, the part of the engine's time that the floors do not cover.
double unwrittenSeconds(const Workload &work, const std::string &smart)
{
    const ChildRun run =
        runThisProgram({"--engine", work.candb, work.log, "/dev/null", periodOf(work), smart});
    double seconds = 0;
    return run.ok && std::sscanf(run.output.c_str(), "%lf", &seconds) == 1 ? seconds : 0;
}

Result measure(const Workload &work, const Options &options, const std::string &folder)
{
    Result result;
    const std::string output = folder + "/" + work.name + ".csv";
    std::vector<double> engine, cpu, read, write, unwritten;
    // One run first that is not counted: the first writes into a folder cost more on some
    // machines, and the program's pages are then in memory for every run alike.
    for (int rep = -1; rep < options.reps; ++rep) {
        std::fprintf(stderr, "%s run %d of %d%s\n", work.name.c_str(), rep + 1, options.reps,
                     rep < 0 ? " (not counted)" : "");
        ::unlink(output.c_str());
        // Each measurement starts with nothing waiting to be written back, so that none pays
        // for the writes of the one before.
        ::sync();
        const double readSeconds = readFloorSeconds(work.log);
        ::sync();
        const std::string smart = options.smart ? "1" : "0";
        const ChildRun run =
            work.throughWindow
                ? runThisProgram({"--window", work.candb, work.log, folder, work.name + ".csv",
                                  std::to_string(work.frequency), smart})
                : runThisProgram({"--engine", work.candb, work.log, output, periodOf(work), smart});
        unsigned long long frames = 0, rows = 0, columns = 0;
        double seconds = 0, cpuSeconds = 0;
        if (!run.ok || std::sscanf(run.output.c_str(), "%lf %lf %llu %llu %llu", &seconds,
                                   &cpuSeconds, &frames, &rows, &columns) != 5) {
            std::fprintf(stderr, "%s failed\n", work.name.c_str());
            result.ok = false;
            return result;
        }
        if (rep < 0) {
            writeFloorSeconds(folder, fileSize(output));
            continue;
        }
        engine.push_back(seconds);
        cpu.push_back(cpuSeconds);
        read.push_back(readSeconds);
        result.frames = frames;
        result.rows = rows;
        result.columns = columns;
        result.peakMiB = std::max(result.peakMiB, run.peakMiB);
        const uint64_t outBytes = fileSize(output);
        result.outMB = double(outBytes) / 1e6;
        ::unlink(output.c_str());
        for (int sample = 0; sample < kWriteSamples; ++sample) {
            ::sync();
            write.push_back(writeFloorSeconds(folder, outBytes));
        }
        if (!work.throughWindow) {
            ::sync();
            unwritten.push_back(unwrittenSeconds(work, smart));
        }
    }
    result.inMB = double(fileSize(work.log)) / 1e6;
    result.engine = median(engine);
    result.cpu = median(cpu);
    // A floor is the best the machine did: writing into the page cache is sometimes much
    // slower here, and a floor measured in such a moment would flatter the engine.
    result.read = *std::min_element(read.begin(), read.end());
    result.write = *std::min_element(write.begin(), write.end());
    const auto [low, high] = std::minmax_element(engine.begin(), engine.end());
    result.spread = (*high - *low) / result.engine;
    if (!unwritten.empty())
        result.unwritten = median(unwritten);
    return result;
}

void printHeader()
{
    std::printf("%-9s %10s %9s %5s %8s %8s %8s %8s %8s %7s %7s %6s %6s %8s %6s\n", "workload",
                "frames", "rows", "cols", "in MB", "out MB", "engine", "cpu", "no file", "R", "W",
                "/(R+W)", "/R", "peak MiB", "spread");
}

void printRow(const std::string &name, const Result &r)
{
    if (!r.ok) {
        std::printf("%-9s failed\n", name.c_str());
        return;
    }
    char unwritten[16] = "-";
    if (r.unwritten > 0)
        std::snprintf(unwritten, sizeof unwritten, "%.3f", r.unwritten);
    std::printf("%-9s %10llu %9llu %5llu %8.1f %8.1f %8.3f %8.3f %8s %7.3f %7.3f %6.2f %6.1f "
                "%8.1f %5.0f%%\n",
                name.c_str(), (unsigned long long)r.frames, (unsigned long long)r.rows,
                (unsigned long long)r.columns, r.inMB, r.outMB, r.engine, r.cpu, unwritten, r.read,
                r.write, r.ratio(), r.timesRead(), r.peakMiB, 100 * r.spread);
    std::fflush(stdout);
}

void printTarget(const char *what, double value, const char *limit, bool met)
{
    std::printf("  %-40s %8.2f  target %-8s %s\n", what, value, limit, met ? "met" : "NOT met");
}

// What is left when the table goes nowhere, against the same floors: the writing the engine
// does costs about W on top of it.
void printUnwrittenShare(const char *name, const Result &r)
{
    std::printf("  %s with the table going to /dev/null: %.3f s, %.2f x (R + W)\n", name,
                r.unwritten, r.unwritten / (r.read + r.write));
}

// W5: the same logs converted by quorvane-cli on one thread and on two.
struct BatchResult
{
    bool ok = false;
    size_t logs = 0;
    double logMB = 0;
    double oneJob = 0, twoJobs = 0; // medians, seconds
    double start = 0;               // quorvane-cli --version: starting and ending the program
    double speedUp() const { return oneJob / twoJobs; }
    // Leaving out what the program costs whatever it converts.
    double conversionSpeedUp() const { return (oneJob - start) / (twoJobs - start); }
};

double programSeconds(const std::vector<std::string> &arguments)
{
    const auto start = std::chrono::steady_clock::now();
    const ChildRun run = runProgram(QUORVANE_CLI_PATH, arguments);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run.ok ? seconds : -1;
}

// Seconds for one run of the command line over all the logs; negative when it failed.
double batchSeconds(const std::vector<std::string> &logs, const std::string &candb,
                    const std::string &outDir, int jobs, bool smart)
{
    std::vector<std::string> arguments = {
        "decode", "--candb", candb, "--quiet", "--jobs", std::to_string(jobs), "--out-dir", outDir};
    if (smart)
        arguments.push_back("--smart");
    arguments.insert(arguments.end(), logs.begin(), logs.end());
    ::sync();
    const double seconds = programSeconds(arguments);
    for (const std::string &log : logs) {
        const std::string name = log.substr(log.rfind('/') + 1);
        ::unlink((outDir + "/" + name.substr(0, name.rfind('.')) + ".csv").c_str());
    }
    return seconds;
}

BatchResult measureBatch(const std::vector<std::string> &logs, const std::string &candb,
                         const std::string &folder, const Options &options)
{
    BatchResult result;
    result.logs = logs.size();
    result.logMB = double(fileSize(logs.front())) / 1e6;
    std::vector<double> times[2], starts;
    for (int rep = -1; rep < options.reps; ++rep) {
        starts.push_back(programSeconds({"--version"}));
        for (int jobs = 1; jobs <= 2; ++jobs) {
            std::fprintf(stderr, "W5 --jobs %d run %d of %d%s\n", jobs, rep + 1, options.reps,
                         rep < 0 ? " (not counted)" : "");
            const double seconds = batchSeconds(logs, candb, folder, jobs, options.smart);
            if (seconds < 0)
                return result;
            if (rep >= 0)
                times[jobs - 1].push_back(seconds);
        }
    }
    result.oneJob = median(times[0]);
    result.twoJobs = median(times[1]);
    result.start = median(starts);
    result.ok = true;
    return result;
}

// W6: a viewer on a long log. The figures of each run; medians and ranges over the runs.
struct ViewLevel
{
    double span = 0;
    std::vector<double> medianMs, slowestMs, cpuMs; // one each per run
};

struct ViewResult
{
    bool ok = false;
    double inMB = 0;
    unsigned long long records = 0, values = 0, plotted = 0;
    std::vector<double> index, indexCpu, read, readCpu, addWorst, addMedian, perValue;
    std::vector<ViewLevel> levels;

    std::vector<double> indexRatios() const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < index.size(); ++i)
            ratios.push_back(index[i] / read[i]);
        return ratios;
    }
    // The slowest level's median redraw, each run.
    std::vector<double> worstRedraws() const
    {
        std::vector<double> worst(index.size(), 0);
        for (const ViewLevel &level : levels) {
            for (size_t run = 0; run < level.medianMs.size(); ++run)
                worst[run] = std::max(worst[run], level.medianMs[run]);
        }
        return worst;
    }
};

// The plot's width in the viewer, in pixel columns.
constexpr int kViewPixels = 1600;

bool measureViewRun(const std::string &candb, const std::string &log, ViewResult &result,
                    bool counted)
{
    ::sync();
    const double cpuBefore = processCpuSeconds();
    const double readSeconds = readFloorSeconds(log);
    const double readCpu = processCpuSeconds() - cpuBefore;
    const ChildRun run = runThisProgram({"--view", candb, log, std::to_string(kViewPixels)});
    std::istringstream output(run.output);
    double index = 0, indexCpu = 0, addWorst = 0, addMedian = 0, perValue = 0;
    if (!run.ok || !(output >> index >> indexCpu >> result.records >> addWorst >> addMedian >>
                     perValue >> result.values >> result.plotted))
        return false;
    if (!counted)
        return true;
    result.index.push_back(index);
    result.indexCpu.push_back(indexCpu);
    result.read.push_back(readSeconds);
    result.readCpu.push_back(readCpu);
    result.addWorst.push_back(addWorst);
    result.addMedian.push_back(addMedian);
    result.perValue.push_back(perValue);
    double span = 0, medianMs = 0, slowestMs = 0, cpuMs = 0;
    for (size_t level = 0; output >> span >> medianMs >> slowestMs >> cpuMs; ++level) {
        if (result.levels.size() <= level)
            result.levels.push_back({span, {}, {}, {}});
        result.levels[level].medianMs.push_back(medianMs);
        result.levels[level].slowestMs.push_back(slowestMs);
        result.levels[level].cpuMs.push_back(cpuMs);
    }
    return true;
}

ViewResult measureViewer(const std::string &candb, const std::string &log, const Options &options)
{
    ViewResult result;
    result.inMB = double(fileSize(log)) / 1e6;
    for (int rep = -1; rep < options.reps; ++rep) {
        std::fprintf(stderr, "W6 run %d of %d%s\n", rep + 1, options.reps,
                     rep < 0 ? " (not counted)" : "");
        if (!measureViewRun(candb, log, result, rep >= 0))
            return result;
    }
    result.ok = true;
    return result;
}

// The median of the runs and, in brackets, the fastest and the slowest.
std::string runsText(const std::vector<double> &values, const char *format)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    char text[96];
    const std::string both = std::string(format) + " [" + format + " .. " + format + "]";
    std::snprintf(text, sizeof text, both.c_str(), median(values), *low, *high);
    return text;
}

void printViewing(const ViewResult &r)
{
    std::printf("W6: %.1f MB, %llu records; %llu signals plotted, %llu values; medians of %zu "
                "runs [fastest .. slowest]; cpu: processor time, all threads\n",
                r.inMB, r.records, r.plotted, r.values, r.index.size());
    std::printf("  index pass %s s (cpu %s s); R %s s (cpu %s s); index / R %s\n",
                runsText(r.index, "%.3f").c_str(), runsText(r.indexCpu, "%.3f").c_str(),
                runsText(r.read, "%.3f").c_str(), runsText(r.readCpu, "%.3f").c_str(),
                runsText(r.indexRatios(), "%.2f").c_str());
    std::printf("  adding a signal: median of the %llu %s s, slowest %s s\n", r.plotted,
                runsText(r.addMedian, "%.3f").c_str(), runsText(r.addWorst, "%.3f").c_str());
    std::printf(
        "  redraw of %llu signals at %d px, ms, at each zoom level %d windows: their median, "
        "their slowest, their median cpu\n",
        r.plotted, kViewPixels, kViewWindowsPerLevel);
    for (const ViewLevel &level : r.levels)
        std::printf(
            "    %12.4f s  %s  %s  %s\n", level.span, runsText(level.medianMs, "%.2f").c_str(),
            runsText(level.slowestMs, "%.2f").c_str(), runsText(level.cpuMs, "%.2f").c_str());
}

void printViewingTargets(const ViewResult &r)
{
    const double ratio = median(r.indexRatios());
    printTarget("W6 index pass / R", ratio, "<= 1.5", ratio <= 1.5);
    printTarget("W6 adding a signal, s (slowest)", median(r.addWorst), "<= 1",
                median(r.addWorst) <= 1);
    const double redraw = median(r.worstRedraws());
    printTarget("W6 redraw of 8 signals, ms (worst level)", redraw, "<= 30", redraw <= 30);
    printTarget("W6 bytes per plotted value", median(r.perValue), "<= 16",
                median(r.perValue) <= 16);
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](double &target) {
            if (!value)
                return false;
            target = std::atof(value);
            ++i;
            return target > 0;
        };
        double reps = 0;
        if (flag == "--reps" && number(reps)) {
            options.reps = int(reps);
        } else if (flag == "--w1-seconds" && number(options.w1Seconds)) {
        } else if (flag == "--w2-seconds" && number(options.w2Seconds)) {
        } else if (flag == "--w4-mb" && number(options.w4Megabytes)) {
        } else if (flag == "--w5-seconds" && number(options.w5Seconds)) {
        } else if (flag == "--w6-mb" && number(options.w6Megabytes)) {
        } else if (flag == "--dir" && value) {
            options.parent = argv[++i];
        } else if (flag == "--smart" && value) {
            options.smart = std::string(argv[++i]) != "0";
        } else if (flag == "--only" && value) {
            std::stringstream list(argv[++i]);
            for (std::string name; std::getline(list, name, ',');)
                options.only.insert(name);
        } else if (flag == "--keep") {
            options.keep = true;
        } else {
            std::fprintf(stderr, "usage: quorvane_bench [--reps N] [--dir FOLDER] "
                                 "[--only W1,W2,W2win,W3,W4,W5,W6] [--smart 0|1] [--w1-seconds S] "
                                 "[--w2-seconds S] [--w4-mb MB] [--w5-seconds S] [--w6-mb MB] "
                                 "[--keep]\n");
            return false;
        }
    }
    return options.reps > 0;
}

bool writeText(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out.flush());
}

// A log of the traffic, made on first use.
class Inputs
{
public:
    Inputs(std::string folder, std::vector<std::string> &made) : folder(folder), made(made) {}

    std::string candb(const std::string &name, const Traffic &traffic)
    {
        const std::string path = folder + "/" + name + ".json";
        if (!writeText(path, candbOf(traffic).dump(1)))
            return {};
        made.push_back(path);
        return path;
    }

    std::string log(const std::string &name, const Traffic &traffic, uint64_t frames, uint32_t seed)
    {
        const std::string path = folder + "/" + name + ".qvl";
        std::fprintf(stderr, "writing %s: %llu frames\n", path.c_str(), (unsigned long long)frames);
        if (!writeTrafficLog(path, traffic, frames, seed))
            return {};
        made.push_back(path);
        return path;
    }

private:
    std::string folder;
    std::vector<std::string> &made;
};

int runBenchmark(const Options &options)
{
    std::string parent = options.parent;
    if (parent.empty())
        parent = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string folderTemplate = parent + "/quorvane-bench-XXXXXX";
    if (!::mkdtemp(folderTemplate.data())) {
        std::fprintf(stderr, "cannot make a folder in %s\n", parent.c_str());
        return 1;
    }
    const std::string folder = folderTemplate;
    std::vector<std::string> made;
    Inputs inputs(folder, made);

    // W1, W3, W4: 60 messages with 400 signals on two buses at 4000 frames/s together.
    // W2: 20 signals in 4 messages at 4000 frames/s, among 6000 frames/s the database does not
    // describe.
    const Traffic dense = makeTraffic(60, 400, 4000, 0, 1);
    const Traffic fast = makeTraffic(4, 20, 4000, 6000, 2);

    printMachine(options);
    printHeader();
    std::vector<std::pair<std::string, Result>> results;
    auto run = [&](const Workload &work) {
        Result result = measure(work, options, folder);
        // The window reports only its time; it converts the same log as the engine's run.
        if (work.throughWindow && !results.empty() && results.back().first == "W2") {
            const Result &engine = results.back().second;
            result.frames = engine.frames;
            result.rows = engine.rows;
            result.columns = engine.columns;
            if (result.ok && result.outMB != engine.outMB) {
                std::fprintf(stderr, "the window wrote %.6f MB, the engine %.6f MB\n", result.outMB,
                             engine.outMB);
                result.ok = false;
            }
        }
        printRow(work.name, result);
        results.emplace_back(work.name, result);
        return result.ok;
    };

    // Logs are large: each is made only for the workloads wanted and goes when they are done.
    auto runOnLog = [&](const char *logName, const Traffic &traffic, uint64_t frames, uint32_t seed,
                        std::vector<Workload> workloads) {
        workloads.erase(std::remove_if(workloads.begin(), workloads.end(),
                                       [&](const Workload &w) { return !wanted(options, w.name); }),
                        workloads.end());
        if (workloads.empty())
            return true;
        const std::string log = inputs.log(logName, traffic, frames, seed);
        bool done = !log.empty();
        for (Workload &work : workloads) {
            work.log = log;
            done = done && run(work);
        }
        if (!options.keep)
            ::unlink(log.c_str());
        return done;
    };
    const std::string denseDb = inputs.candb("dense", dense);
    const std::string fastDb = inputs.candb("fast", fast);
    bool ok = !denseDb.empty() && !fastDb.empty();
    ok = ok && runOnLog("dense", dense, uint64_t(4000 * options.w1Seconds), 11,
                        {{"W1", denseDb, "", 100, false}, {"W3", denseDb, "", 1, false}});
    ok = ok && runOnLog("fast", fast, uint64_t(10000 * options.w2Seconds), 12,
                        {{"W2", fastDb, "", 20000, false}, {"W2win", fastDb, "", 20000, true}});
    ok = ok && runOnLog("long", dense, uint64_t(options.w4Megabytes * 1e6 / 16), 13,
                        {{"W4", denseDb, "", 10, false}});

    BatchResult batch;
    if (ok && wanted(options, "W5")) {
        std::vector<std::string> logs;
        for (int i = 0; i < 8 && ok; ++i) {
            logs.push_back(inputs.log("batch" + std::to_string(i), dense,
                                      uint64_t(4000 * options.w5Seconds), 14));
            ok = !logs.back().empty();
        }
        batch = measureBatch(logs, denseDb, folder, options);
        ok = ok && batch.ok;
        if (batch.ok)
            std::printf("W5: %zu logs of %.1f MB through quorvane-cli: --jobs 1 %.3f s, "
                        "--jobs 2 %.3f s (medians); the program starts and ends in %.3f s\n",
                        batch.logs, batch.logMB, batch.oneJob, batch.twoJobs, batch.start);
    }

    ViewResult viewing;
    if (ok && wanted(options, "W6")) {
        // W1-shaped traffic over a log of the size asked for.
        const std::string log =
            inputs.log("view", dense, uint64_t(options.w6Megabytes * 1e6 / 16), 16);
        ok = !log.empty();
        if (ok)
            viewing = measureViewer(denseDb, log, options);
        ok = ok && viewing.ok;
        if (viewing.ok)
            printViewing(viewing);
        if (!options.keep)
            ::unlink(log.c_str());
    }

    auto find = [&](const std::string &name) -> const Result * {
        for (const auto &[key, result] : results) {
            if (key == name && result.ok)
                return &result;
        }
        return nullptr;
    };
    std::printf("targets:\n");
    // The engine on one thread is held against the floors for information: its ratios have no
    // target, since making the text, not reading or writing, is what takes its time.
    if (const Result *w1 = find("W1"))
        printUnwrittenShare("W1", *w1);
    if (const Result *w2 = find("W2"))
        printUnwrittenShare("W2", *w2);
    if (const Result *window = find("W2win")) {
        if (const Result *w2 = find("W2"))
            std::printf("  keeping the window live costs %.3f s (%+.0f%% of the engine's time)\n",
                        window->engine - w2->engine, 100 * (window->engine / w2->engine - 1));
    }
    if (const Result *w3 = find("W3"))
        printTarget("W3 engine / R", w3->timesRead(), "<= 10", w3->timesRead() <= 10);
    if (const Result *w4 = find("W4")) {
        if (const Result *w1 = find("W1"))
            printTarget("W4 peak memory - W1 peak memory, MiB", w4->peakMiB - w1->peakMiB, "<= 8",
                        w4->peakMiB - w1->peakMiB <= 8);
    }
    if (batch.ok) {
        printTarget("W5 speed-up of --jobs 2 over --jobs 1", batch.speedUp(), ">= 1.7",
                    batch.speedUp() >= 1.7);
        std::printf("  W5 speed-up without the program's start and end: %.2f\n",
                    batch.conversionSpeedUp());
    }
    if (viewing.ok)
        printViewingTargets(viewing);

    if (!options.keep) {
        for (const std::string &path : made)
            ::unlink(path.c_str());
        ::rmdir(folder.c_str());
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--engine") == 0)
        return convertWithEngine(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "--window") == 0)
        return convertThroughWindow(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "--view") == 0)
        return measureViewing(argc - 2, argv + 2);
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    return runBenchmark(options);
}
