#include "listening/Ratings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "files/Descriptor.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"

namespace zorvel {

std::string anchorCondition(double qDb) {
    std::ostringstream text;
    text << "MNRU Q=" << qDb << " dB";
    return text.str();
}

std::string ratingTime() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text.data();
}

std::string ratingLine(const Rating& r) {
    nlohmann::ordered_json line;
    line["listener"] = r.listener;
    line["trial"] = r.trial;
    line["input"] = r.input;
    line["condition"] = r.condition;
    line["settings"] = r.settings;
    line["letter"] = r.letter;
    line["score"] = r.score;
    line["time"] = r.time;
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

void appendTrial(const std::filesystem::path& file, std::span<const Rating> ratings) {
    std::string lines;
    for (const Rating& rating : ratings) lines += ratingLine(rating);
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) throw FileError(std::string("cannot be opened: ") + std::strerror(errno), errno);
    struct stat before {};
    if (::fstat(fd.get(), &before) != 0) throw FileError(std::strerror(errno), errno);
    try {
        writeAll(fd.get(), lines.data(), lines.size(), file);
        if (::fsync(fd.get()) != 0)
            throw FileError(std::string("cannot be synced: ") + std::strerror(errno), errno);
    } catch (const FileError&) {
        // A trial is in the file whole or not at all.
        if (::ftruncate(fd.get(), before.st_size) == 0) ::fsync(fd.get());
        throw;
    }
    if (const int error = fd.close()) throw FileError(std::strerror(error), error);
}

namespace {

std::string textField(const nlohmann::json& line, const char* key) {
    const auto it = line.find(key);
    if (it == line.end() || !it->is_string())
        throw std::invalid_argument(std::string("no text \"") + key + "\"");
    return it->get<std::string>();
}

int integerField(const nlohmann::json& line, const char* key) {
    const auto it = line.find(key);
    if (it == line.end() || !it->is_number_integer())
        throw std::invalid_argument(std::string("no whole number \"") + key + "\"");
    return it->get<int>();
}

Rating parseLine(const std::string& text) {
    const nlohmann::json line = nlohmann::json::parse(text);
    if (!line.is_object()) throw std::invalid_argument("not a JSON object");
    Rating r;
    r.listener = textField(line, "listener");
    r.trial = integerField(line, "trial");
    r.input = textField(line, "input");
    r.condition = textField(line, "condition");
    r.settings = textField(line, "settings");
    r.letter = textField(line, "letter");
    r.score = integerField(line, "score");
    r.time = textField(line, "time");
    if (r.score < kLowestScore || r.score > kHighestScore)
        throw std::invalid_argument("score " + std::to_string(r.score) + " is not in 0..100");
    if (r.trial < 1)
        throw std::invalid_argument("trial " + std::to_string(r.trial) + " is not 1 or more");
    return r;
}

}  // namespace

RatingsFile parseRatings(const std::string& text) {
    RatingsFile file;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {  // cut short
            ++file.cutLines;
            break;
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            file.ratings.push_back(parseLine(line));
        } catch (const std::exception& error) {
            throw FileError("line " + std::to_string(number) + " is not a rating: " + error.what());
        }
    }
    return file;
}

RatingsFile readRatings(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw FileError(std::string("cannot be opened: ") + std::strerror(errno), errno);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw FileError("cannot be read");
    return parseRatings(text);
}

}  // namespace zorvel
