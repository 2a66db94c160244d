// The machine-readable results of corpus runs (--jsonl): one JSON object a
// line for each file coded in one mode with one setting, and the totals that
// `aggregate` makes of any number of such files.
//
// A line of a file that was coded:
//   {"file":"a.wav","command":"encode","mode":1,"bit_rate_kbps":12.2,
//    "setting":"default","status":"ok","frames":283,
//    "signal_energy":...,"noise_energy":...,
//    "segmental_snr_db":...,"overall_snr_db":...,"output":"a.wav_12.20_sout.wav"}
// "output" only for encode. A run with --measures adds the means of the
// spectral distances after "overall_snr_db" ("lsd_lp_db", ...,
// "fw_seg_snr_db"; null where no frame had a value) and the file figures
// ("fw_seg_snr_hl_db", "cepstral_distance_hl_db", "llr_hl",
// "itakura_saito_hl", "stoi", "estoi"; null where the file has none);
// aggregate passes them by. A file that failed:
// the same up to "setting", then "status":"failed","reason":"...". Numbers are written so that they
// read back to the same doubles.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coder/CoderSettings.h"
#include "coder/ModeSweep.h"
#include "files/Descriptor.h"

namespace zorvel::cli {

// The coder settings a record was coded with, as the records and the
// aggregate table name them: "default", or what differs from the defaults
// ("adaptive-codebook=off", "gamma1=0.9, enhancement=off"). Records written
// before the adaptive codebook was named so say "no-adaptive"; they are read
// as "adaptive-codebook=off".
std::string settingName(const CoderSettings& settings);

struct CorpusRecord {
    std::string file;     // the input as given
    std::string command;  // "encode" or "sweep"
    std::string setting;  // settingName
    bool ok = true;
    std::string reason;   // why it failed
    ModeFigures figures;  // the mode always; the figures when ok
    std::string output;   // encode's output; empty otherwise
};

// The record as one line of JSON, with its line break.
std::string recordLine(const CorpusRecord& record);

// The record a line holds; nothing, with `problem` said, for a line that is
// no such record.
std::optional<CorpusRecord> parseRecord(std::string_view line, std::string& problem);

// A JSONL file opened for appending: each record goes out in one write(2) of
// the whole line to a descriptor opened with O_APPEND, so that lines of
// several threads or processes never mix, and a run that is killed leaves
// whole lines only. Made when missing; what it holds stays.
class RecordFile {
  public:
    explicit RecordFile(const std::filesystem::path& path);  // throws FileError
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    void append(const CorpusRecord& record);  // throws FileError
    // True once an append failed: a run then reports that error once.
    bool failed() const { return failed_; }

  private:
    std::filesystem::path path_;
    Descriptor descriptor_;
    std::atomic<bool> failed_{false};
};

// Opens the --jsonl file of a run over `inputs` that writes `outputs` into
// `records`; nothing when `path` is empty. The file is appended to, so it may
// be neither a directory, nor one of the inputs or outputs (by any name or
// link), nor standard output. When it cannot be used, the reason is reported
// on standard error ("zorvel-cli: ...") and the result is false, with nothing
// made or written.
bool openRecordFile(const std::string& path, std::span<const std::string> inputs,
                    std::span<const std::filesystem::path> outputs,
                    std::optional<RecordFile>& records);

// The totals of one mode and setting over a corpus.
struct CorpusTotal {
    std::string setting;
    ModeFigures figures;  // frames, energies and SNRs over all coded files
    int files = 0;        // files coded
    int failed = 0;       // files that failed
};

// Totals per setting (by name) and mode (in the order of the mode table).
// A file coded more than once in the same mode and setting (a run started
// again) counts once, by its last record. The files of a total are summed in
// the order of their names, so that the same records give the same bytes
// however they were split among runs and files.
std::vector<CorpusTotal> corpusTotals(std::span<const CorpusRecord> records);

// Aligned columns for people: setting, mode, kbit/s, files, failed, frames,
// SNRseg, SNR (0.01 dB).
void printCorpusTable(std::ostream& out, std::span<const CorpusTotal> totals);

// A header line and the same rows, every number in full.
void printCorpusCsv(std::ostream& out, std::span<const CorpusTotal> totals);

}  // namespace zorvel::cli
