#include "cli/ListeningCommand.h"

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/NumberText.h"
#include "cli/StandardDescriptors.h"
#include "cli/SweepOutputs.h"
#include "files/FileError.h"
#include "listening/ListeningResults.h"
#ifdef ZORVEL_CLI_PLOTS
#include "cli/FileChecks.h"
#include "cli/PictureFiles.h"
#include "plots/ListeningChart.h"
#endif

namespace zorvel::cli {
namespace {

std::string fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

// "celina: the hidden reference below 90 in 1 of 2 trials"
std::string exclusionText(const ListenerScreening& l) {
    return tableText(l.listener) + ": the hidden reference below " +
           std::to_string(kScreeningScore) + " in " + std::to_string(l.referenceBelow) + " of " +
           std::to_string(l.trials) + " trials";
}

void printScreening(std::ostream& out, const ListeningResults& r) {
    int excluded = 0;
    for (const ListenerScreening& l : r.listeners) excluded += l.excluded ? 1 : 0;
    out << "listeners: " << r.listeners.size() << ", kept " << r.listeners.size() - excluded
        << ", excluded " << excluded << " (more than " << fixed(100.0 * kScreeningShare, 0)
        << "% of their trials with the hidden reference below " << kScreeningScore << ")\n";
    for (const ListenerScreening& l : r.listeners)
        if (l.excluded) out << "  excluded " << exclusionText(l) << '\n';
    out << "ratings: " << r.ratings << ", kept " << r.ratingsKept << '\n';
}

void printTable(std::ostream& out, const ListeningResults& r) {
    std::size_t conditionWidth = std::string("condition").size();
    std::size_t settingsWidth = std::string("settings").size();
    for (const ConditionResult& c : r.conditions) {
        conditionWidth = std::max(conditionWidth, tableText(c.condition).size());
        settingsWidth = std::max(settingsWidth, tableText(c.settings).size());
    }
    const auto w = [](std::size_t width) { return static_cast<int>(width + 2); };
    out << std::left << std::setw(w(conditionWidth)) << "condition" << std::setw(w(settingsWidth))
        << "settings" << std::right << std::setw(8) << "ratings" << std::setw(9) << "mean"
        << std::setw(10) << "95% CI" << std::setw(9) << "low" << std::setw(9) << "high" << '\n';
    for (const ConditionResult& c : r.conditions) {
        out << std::left << std::setw(w(conditionWidth)) << tableText(c.condition)
            << std::setw(w(settingsWidth)) << tableText(c.settings) << std::right << std::setw(8)
            << c.count << std::setw(9) << fixed(c.mean, 2);
        if (c.halfInterval)
            // "±" is two bytes of UTF-8 and one column on the screen.
            out << std::setw(11) << "±" + fixed(*c.halfInterval, 2) << std::setw(9)
                << fixed(c.mean - *c.halfInterval, 2) << std::setw(9)
                << fixed(c.mean + *c.halfInterval, 2);
        else
            out << std::setw(10) << "-" << std::setw(9) << "-" << std::setw(9) << "-";
        out << '\n';
    }
    out << '\n';
    printScreening(out, r);
}

// No interval (a single rating) is an empty cell.
void printCsv(std::ostream& out, const ListeningResults& r) {
    out << "condition,settings,ratings,mean,half_interval,low,high\n";
    for (const ConditionResult& c : r.conditions) {
        out << csvField(c.condition) << ',' << csvField(c.settings) << ',' << c.count << ','
            << numberText(c.mean) << ',';
        if (c.halfInterval)
            out << numberText(*c.halfInterval) << ',' << numberText(c.mean - *c.halfInterval) << ','
                << numberText(c.mean + *c.halfInterval);
        else
            out << ",,";
        out << '\n';
    }
}

void printJson(std::ostream& out, const ListeningResults& r) {
    using Json = nlohmann::ordered_json;
    Json conditions = Json::array();
    for (const ConditionResult& c : r.conditions) {
        Json half = c.halfInterval ? Json(*c.halfInterval) : Json(nullptr);
        conditions.push_back({{"condition", c.condition},
                              {"settings", c.settings},
                              {"ratings", c.count},
                              {"mean", c.mean},
                              {"standard_deviation", c.standardDeviation},
                              {"half_interval", half}});
    }
    Json listeners = Json::array();
    for (const ListenerScreening& l : r.listeners)
        listeners.push_back({{"listener", l.listener},
                             {"trials", l.trials},
                             {"reference_below_90", l.referenceBelow},
                             {"excluded", l.excluded}});
    const Json object{{"ratings", r.ratings},
                      {"ratings_kept", r.ratingsKept},
                      {"conditions", conditions},
                      {"listeners", listeners}};
    out << object.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

#ifdef ZORVEL_CLI_PLOTS
// "Test odsłuchowy: wyniki.jsonl" or "... (3 pliki)".
QString chartCaption(const std::vector<std::string>& files) {
    const QString name =
        QString::fromStdString(std::filesystem::path(files.front()).filename().string());
    if (files.size() == 1) return QStringLiteral("Test odsłuchowy: %1").arg(name);
    return QStringLiteral("Test odsłuchowy: %1 i %2 innych plików").arg(name).arg(files.size() - 1);
}
#endif

}  // namespace

int runListening(const ListeningArguments& a) {
    const std::optional<ChartFormat> format = chartFormat(a.plot);
    if (!format) return usageError("listening", "--plot names a .png or an .svg file");
#ifndef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None)
        return usageError("listening", "this zorvel-cli was built without the chart drawing");
#endif
    std::vector<Rating> ratings;
    for (const std::string& file : a.files) {
        if (!a.plot.empty() && std::filesystem::path(file) == std::filesystem::path(a.plot))
            return usageError("listening", "--plot names one of the ratings files");
        try {
            RatingsFile read = readRatings(file);
            if (read.cutLines > 0)
                std::cerr << "zorvel-cli: " << file
                          << ": its last line was cut short (a write that did not end) and is "
                             "left out\n";
            ratings.insert(ratings.end(), read.ratings.begin(), read.ratings.end());
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << file << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
    const ListeningResults results = aggregateRatings(ratings);
    if (a.json) {
        printJson(std::cout, results);
    } else if (a.csv) {
        printCsv(std::cout, results);
        printScreening(std::cerr, results);
    } else {
        printTable(std::cout, results);
    }
    if (standardOutputFailed()) return kExitFailed;
#ifdef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None) {
        try {
            StagingArea area(kOverwriteAdvice);
            writeChartFile(
                a.plot, *format == ChartFormat::Png ? PictureFormat::png : PictureFormat::svg,
                [&] { return describeListeningChart(results, chartCaption(a.files)); }, area,
                a.overwrite);
        } catch (const std::exception& error) {
            std::cerr << "zorvel-cli: " << a.plot << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
#endif
    return kExitOk;
}

}  // namespace zorvel::cli
