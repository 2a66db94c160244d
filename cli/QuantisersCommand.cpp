// Refuses what cannot be done before anything is read (a bad --bits, a
// held-out list that cannot be read, a chart that is an input or exists
// without -y), analyses both lists on a pool of threads, trains the modes'
// designs and the budgets' (the budgets' splits trained once each, to the
// most bits any budget gives them), measures every quantiser on the held-out
// speech, prints the table and draws the chart. Each stage says on standard
// error what it did and how long it took.
#include "cli/QuantisersCommand.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/FileChecks.h"
#include "cli/LsfInputs.h"
#include "cli/NumberText.h"
#include "cli/StandardDescriptors.h"
#include "cli/SweepOutputs.h"
#include "coder/LsfQuantiser.h"
#include "coder/LsfTraining.h"
#ifdef ZORVEL_CLI_PLOTS
#include "cli/PictureFiles.h"
#include "plots/QuantiserChart.h"
#endif

namespace zorvel::cli {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string fixed(double value, int decimals) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "8+9+9": the bits of the splits (of each set's part, with two sets).
std::string splitsText(const LsfQuantiserDesign& design) {
    std::string text;
    for (int k = 0; k < design.splitCount; ++k) {
        if (k > 0) text += '+';
        text += std::to_string(design.splits[k].bits);
    }
    return text;
}

// One printed row: a quantiser's set measured.
struct Row {
    const char* quantiser;  // "budget" or "mode"
    const LsfDistortion* distortion;
    const char* set;  // "I", "II" or "-"
    const SpectralDistortionStatistics* statistics;
};

std::vector<Row> rowsOf(const std::vector<LsfDistortion>& budgets,
                        const std::vector<LsfDistortion>& modes) {
    std::vector<Row> rows;
    for (const LsfDistortion& d : budgets) rows.push_back({"budget", &d, "-", &d.set});
    for (const LsfDistortion& d : modes) {
        if (d.design.twoSets) {
            rows.push_back({"mode", &d, "I", &d.setI});
            rows.push_back({"mode", &d, "II", &d.set});
        } else {
            rows.push_back({"mode", &d, "-", &d.set});
        }
    }
    return rows;
}

void printTable(std::ostream& out, const std::vector<Row>& rows) {
    out << std::left << std::setw(11) << "quantiser" << std::setw(10) << "LSF bits" << std::setw(12)
        << "splits" << std::setw(22) << "modes" << std::setw(5) << "set" << std::right
        << std::setw(9) << "frames" << std::setw(14) << "mean SD [dB]" << std::setw(12)
        << "2-4 dB [%]" << std::setw(11) << ">4 dB [%]" << std::setw(10) << "max [dB]" << '\n';
    for (const Row& r : rows) {
        const SpectralDistortionStatistics& s = *r.statistics;
        out << std::left << std::setw(11) << r.quantiser << std::setw(10)
            << r.distortion->design.bits << std::setw(12) << splitsText(r.distortion->design)
            << std::setw(22) << modesText(r.distortion->design) << std::setw(5) << r.set
            << std::right << std::setw(9) << s.frames() << std::setw(14) << fixed(s.mean(), 3)
            << std::setw(12) << fixed(100.0 * s.outlierShare(), 2) << std::setw(11)
            << fixed(100.0 * s.largeShare(), 3) << std::setw(10) << fixed(s.maximum(), 2) << '\n';
    }
}

void printCsv(std::ostream& out, const std::vector<Row>& rows) {
    out << "quantiser,lsf_bits,splits,modes,set,frames,mean_sd_db,share_2_4_db_percent,"
           "share_above_4_db_percent,max_sd_db\n";
    for (const Row& r : rows) {
        const SpectralDistortionStatistics& s = *r.statistics;
        out << r.quantiser << ',' << r.distortion->design.bits << ','
            << splitsText(r.distortion->design) << ',' << csvField(modesText(r.distortion->design))
            << ',' << r.set << ',' << s.frames() << ',' << numberText(s.mean()) << ','
            << numberText(100.0 * s.outlierShare()) << ',' << numberText(100.0 * s.largeShare())
            << ',' << numberText(s.maximum()) << '\n';
    }
}

struct Speech {
    std::size_t files;
    std::int64_t frames;
};

void printJson(std::ostream& out, const std::vector<Row>& rows, Speech training, Speech heldOut) {
    using Json = nlohmann::ordered_json;
    Json budgets = Json::array();
    Json modes = Json::array();
    for (const Row& r : rows) {
        const SpectralDistortionStatistics& s = *r.statistics;
        const LsfQuantiserDesign& design = r.distortion->design;
        Json splits = Json::array();
        for (int k = 0; k < design.splitCount; ++k) splits.push_back(design.splits[k].bits);
        Json row{{"lsf_bits", design.bits},
                 {"splits", splits},
                 {"modes", modesOf(design)},
                 {"set", r.set},
                 {"frames", s.frames()},
                 {"mean_sd_db", s.mean()},
                 {"share_2_4_db_percent", 100.0 * s.outlierShare()},
                 {"share_above_4_db_percent", 100.0 * s.largeShare()},
                 {"max_sd_db", s.maximum()}};
        (std::string_view(r.quantiser) == "budget" ? budgets : modes).push_back(row);
    }
    const Json object{{"training", {{"files", training.files}, {"frames", training.frames}}},
                      {"held_out", {{"files", heldOut.files}, {"frames", heldOut.frames}}},
                      {"budgets", budgets},
                      {"modes", modes}};
    out << object.dump(2) << '\n';
}

// Standard output (the table) may be no input, and the chart no input, no
// list and no existing file without -y.
bool outputsAccepted(const QuantisersArguments& a, const std::vector<std::string>& heldOut) {
    std::vector<std::string> inputs = a.inputs;
    inputs.insert(inputs.end(), heldOut.begin(), heldOut.end());
    std::vector<std::string> lists{a.heldOut};
    if (!a.list.filesFrom.empty() && a.list.filesFrom != "-") lists.push_back(a.list.filesFrom);
    try {
        for (const std::string& input : inputs) {
            checkStandardOutput(input);
            if (!a.plot.empty()) checkOutput(input, a.plot, a.overwrite);
        }
        if (!a.plot.empty())
            for (const std::string& list : lists) checkOutput(list, a.plot, a.overwrite);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli: " << a.plot << ": " << error.what() << '\n';
        return false;
    }
    return true;
}

#ifdef ZORVEL_CLI_PLOTS
// "Zniekształcenie widmowe LSF na zbiorze testowym: held.txt (1234 pliki, 56789 ramek)"
QString chartCaption(const std::string& heldOutList, const std::vector<LsfDistortion>& budgets) {
    const QString name =
        QString::fromStdString(std::filesystem::path(heldOutList).filename().string());
    const std::int64_t frames = budgets.empty() ? 0 : budgets.front().set.frames();
    return QStringLiteral("Zniekształcenie widmowe kwantyzatorów LSF: %1 (%2 ramek)")
        .arg(name)
        .arg(frames);
}
#endif

// "zorvel-cli quantisers: components 7-10 (sets I and II) trained to 12 bits
// after 81.2 s", one whole line at a time from the threads that train.
LsfSplitTrained reportSplit(Clock::time_point stage) {
    return [stage](const LsfSplit& split, bool twoSets) {
        std::ostringstream line;
        line << "zorvel-cli quantisers: components " << split.first + 1 << '-'
             << split.first + split.dimension << (twoSets ? " (sets I and II)" : "")
             << " trained to " << split.bits << " bits after " << fixed(secondsSince(stage), 1)
             << " s\n";
        static std::mutex mutex;
        const std::scoped_lock lock(mutex);
        std::cerr << line.str() << std::flush;
    };
}

}  // namespace

std::optional<std::vector<int>> budgetsFromText(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    const std::optional<int> from = wholeNumber(parts[0]);
    const std::optional<int> to = wholeNumber(parts[1]);
    const std::optional<int> step = parts.size() == 3 ? wholeNumber(parts[2]) : 1;
    if (!from || !to || !step || *from < kLeastLsfBudgetBits || *to > kMostLsfBudgetBits ||
        *from > *to || *step < 1)
        return std::nullopt;
    std::vector<int> budgets;
    for (int bits = *from; bits <= *to; bits += *step) budgets.push_back(bits);
    return budgets;
}

int runQuantisers(const QuantisersArguments& a) {
    const std::optional<ChartFormat> format = chartFormat(a.plot);
    if (!format) return usageError("quantisers", "--plot names a .png or an .svg file");
#ifndef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None)
        return usageError("quantisers", "this zorvel-cli was built without the chart drawing");
#endif
    const std::vector<int> bits = *budgetsFromText(a.bits);  // checked by the parser
    const std::optional<std::vector<std::string>> heldOut = readHeldOutList(a.heldOut);
    if (!heldOut) return kExitFailed;
    if (heldOut->empty()) return usageError("quantisers", "--held-out: the list names no file");
    if (!outputsAccepted(a, *heldOut)) return kExitFailed;

    const Clock::time_point start = Clock::now();
    const auto files = analyseLsfInputs(a.inputs, a.inputFormat, a.jobs);
    if (!files) return kExitFailed;
    const auto test = analyseLsfInputs(*heldOut, a.inputFormat, a.jobs);
    if (!test) return kExitFailed;
    const Speech training{files->size(), framesOf(*files)};
    const Speech measured{test->size(), framesOf(*test)};
    std::cerr << "zorvel-cli quantisers: analysed " << training.files << " training files ("
              << training.frames << " frames) and " << measured.files << " held-out files ("
              << measured.frames << " frames) in " << fixed(secondsSince(start), 1) << " s\n";

    std::vector<LsfQuantiserDesign> designs;
    for (const int b : bits) designs.push_back(lsfBudgetDesign(b));
    std::vector<LsfDistortion> budgets;
    std::vector<LsfDistortion> modes;
    try {
        Clock::time_point stage = Clock::now();
        QuantiserTables modeTables;
        trainLsfDesigns(*files, kLsfQuantiserDesigns, modeTables, a.jobs, reportSplit(stage));
        std::cerr << "zorvel-cli quantisers: trained the modes' designs in "
                  << fixed(secondsSince(stage), 1) << " s\n";
        stage = Clock::now();
        // A table of their own: a one-set budget of 38 bits would take the
        // names of 12.2's design.
        QuantiserTables budgetTables;
        trainLsfDesigns(*files, designs, budgetTables, a.jobs, reportSplit(stage));
        std::cerr << "zorvel-cli quantisers: trained " << designs.size() << " budgets of "
                  << bits.front() << " to " << bits.back() << " bits in "
                  << fixed(secondsSince(stage), 1) << " s\n";
        stage = Clock::now();
        modes = measureLsfDesigns(modeTables, kLsfQuantiserDesigns, *test, a.jobs);
        budgets = measureLsfDesigns(budgetTables, designs, *test, a.jobs);
        std::cerr << "zorvel-cli quantisers: measured on the held-out speech in "
                  << fixed(secondsSince(stage), 1) << " s\n";
    } catch (const std::invalid_argument& error) {
        std::cerr << "zorvel-cli quantisers: " << error.what() << '\n';
        return kExitFailed;
    }

    const std::vector<Row> rows = rowsOf(budgets, modes);
    if (a.json)
        printJson(std::cout, rows, training, measured);
    else if (a.csv)
        printCsv(std::cout, rows);
    else
        printTable(std::cout, rows);
    if (standardOutputFailed()) return kExitFailed;
#ifdef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None) {
        try {
            StagingArea area(kOverwriteAdvice);
            writeChartFile(
                a.plot, *format == ChartFormat::Png ? PictureFormat::png : PictureFormat::svg,
                [&] {
                    return describeQuantiserChart(budgets, modes, chartCaption(a.heldOut, budgets));
                },
                area, a.overwrite);
        } catch (const std::exception& error) {
            std::cerr << "zorvel-cli: " << a.plot << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
#endif
    return kExitOk;
}

}  // namespace zorvel::cli
