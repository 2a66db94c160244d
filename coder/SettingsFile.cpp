#include "coder/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "files/FileError.h"

namespace zorvel {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// NAME=VALUE with the spaces around both taken away.
std::string assignmentOf(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::string(line);
    return std::string(trimmed(line.substr(0, equals))) + "=" +
           std::string(trimmed(line.substr(equals + 1)));
}

std::string_view nameOf(std::string_view assignment) {
    return assignment.substr(0, assignment.find('='));
}

}  // namespace

SettingsFileContents readSettingsText(std::string_view text, const CoderSettings& base) {
    SettingsFileContents contents{base, {}};
    std::map<std::string, int, std::less<>> setOn;  // setting name: its line
    int number = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++number;
        const std::string_view content = trimmed(line.substr(0, line.find('#')));
        if (content.empty()) continue;
        const std::string assignment = assignmentOf(content);
        const std::string name(nameOf(assignment));
        if (const auto first = setOn.find(name); first != setOn.end()) {
            SettingsLineProblem repeated{
                number, SettingsLineProblemKind::repeated, {}, first->second};
            repeated.problem.name = name;
            contents.problems.push_back(repeated);
            continue;
        }
        if (auto problem = assignSetting(contents.settings, assignment)) {
            contents.problems.push_back({number, SettingsLineProblemKind::setting, *problem});
            continue;
        }
        setOn.emplace(name, number);
    }
    if (auto problem = settingsProblem(contents.settings)) {
        int line = 0;
        if (const auto lower = setOn.find(problem->name); lower != setOn.end())
            line = lower->second;
        else if (problem->setting)
            if (const auto upper = setOn.find(problem->setting->below); upper != setOn.end())
                line = upper->second;
        contents.problems.push_back({line, SettingsLineProblemKind::together, *problem});
    }
    return contents;
}

SettingsFileContents readSettingsFile(const std::filesystem::path& file,
                                      const CoderSettings& base) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int error = errno;
        throw FileError("cannot be opened: " + std::generic_category().message(error), error);
    }
    std::string text;
    std::array<char, 4096> block{};
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxSettingsFileBytes)
            throw FileError("is no settings file: larger than " +
                            std::to_string(kMaxSettingsFileBytes / 1024) + " KB");
    }
    if (in.bad()) {
        const int error = errno;
        throw FileError("could not be read: " + std::generic_category().message(error), error);
    }
    if (text.find('\0') != std::string::npos)
        throw FileError("is no settings file: it holds a NUL byte");
    return readSettingsText(text, base);
}

std::string settingsFileText(const CoderSettings& settings) {
    std::string text =
        "# Zorvel coder settings: one NAME=VALUE a line, '#' begins a comment.\n"
        "# 'zorvel-cli settings' lists every setting with its values.\n";
    std::size_t width = 0;
    for (const SettingDescriptor& setting : settingDescriptors())
        width = std::max(width, setting.name.size() + 1 + settingText(setting, settings).size());
    for (const SettingDescriptor& setting : settingDescriptors()) {
        std::string line = std::string(setting.name) + "=" + settingText(setting, settings);
        line.resize(width, ' ');
        text += line + "  # " + std::string(setting.meaning) + "\n";
    }
    return text;
}

}  // namespace zorvel
