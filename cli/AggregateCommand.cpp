#include "cli/AggregateCommand.h"

#include <cstring>
#include <fstream>
#include <iostream>

#include "cli/CorpusRecords.h"
#include "cli/FileChecks.h"
#include "cli/StandardDescriptors.h"
#include "cli/TextLines.h"

namespace zorvel::cli {
namespace {

// Appends the records of one file; false when it could not be read whole or
// a line is no record.
bool readRecords(const std::string& name, std::vector<CorpusRecord>& records) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        std::cerr << "zorvel-cli: " << name << ": " << std::strerror(errno) << '\n';
        return false;
    }
    bool whole = true;
    std::string line;
    for (std::size_t number = 1;; ++number) {
        const LineRead read = readLine(in, line);
        if (read == LineRead::end) break;
        if (read == LineRead::tooLong) {
            // No record is that long: what follows is no file of records.
            std::cerr << "zorvel-cli: " << name << ':' << number << ": " << tooLongText()
                      << "; the rest of the file is left out\n";
            return false;
        }
        if (line.empty()) continue;
        std::string problem;
        std::optional<CorpusRecord> record = parseRecord(line, problem);
        if (record) {
            records.push_back(std::move(*record));
        } else {
            std::cerr << "zorvel-cli: " << name << ':' << number << ": " << problem << '\n';
            whole = false;
        }
    }
    if (in.bad()) {
        std::cerr << "zorvel-cli: " << name << ": could not be read to its end\n";
        return false;
    }
    return whole;
}

}  // namespace

int runAggregate(const AggregateArguments& arguments) {
    // The table goes to standard output, which may be none of the files read
    // (aggregate r.jsonl >> r.jsonl would append the table to its records).
    for (const std::string& name : arguments.records) {
        try {
            checkStandardOutput(name);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << name << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
    std::vector<CorpusRecord> records;
    bool whole = true;
    for (const std::string& name : arguments.records) whole = readRecords(name, records) && whole;
    const std::vector<CorpusTotal> totals = corpusTotals(records);
    if (arguments.csv)
        printCorpusCsv(std::cout, totals);
    else
        printCorpusTable(std::cout, totals);
    if (standardOutputFailed()) return kExitFailed;
    return whole ? kExitOk : kExitFailed;
}

}  // namespace zorvel::cli
