#include "instance/core/CommandLine.h"

#include <cctype>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return words;
}

} // namespace

AppCommand ParseCommandLine(const std::string& arguments) {
    const std::vector<std::string> words = Words(arguments);
    if (words.empty()) return AppCommand::kShow;
    if (words.size() > 1) return AppCommand::kUnknown;
    if (words[0] == "/live") return AppCommand::kLive;
    if (words[0] == "/stop") return AppCommand::kStop;
    if (words[0] == "/quit") return AppCommand::kQuit;
    return AppCommand::kUnknown;
}
