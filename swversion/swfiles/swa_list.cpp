#include "swa_list.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include "atomic_file.h"
#include "sandbox_path.h"
#include "tokenizer.h"

namespace swfiles {

namespace {
constexpr char kLineDelimiters[] = " \n\f\t\r";
} // namespace

std::optional<std::string> readFixedFile(const char* fixedPath)
{
    // Not a stream: an unreadable file (a directory, a disk error) must not pass for an empty one.
    return qv::readFileContents(qv::sandboxPath(fixedPath));
}

void forEachLineWords(const std::string& text,
                      const std::function<void(const std::vector<std::string>&,
                                               const std::string&)>& visit)
{
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> words;
    while (std::getline(in, line)) {
        StringTokenizer tokens(line, kLineDelimiters);
        words.clear();
        for (unsigned i = 0; i < tokens.getTokenCount(); ++i)
            if (!tokens.getToken(i).empty()) words.push_back(tokens.getToken(i));
        visit(words, line);
    }
}

bool swaListsProgram(const std::string& text, const std::string& name)
{
    std::istringstream in(text);
    std::string word;
    bool inList = false;
    while (in >> word) {
        if (!inList) {
            inList = word == "MNGSW" || word == "AGENTS";
        } else if (word == "*") {
            inList = false;
        } else if (word == name) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> swaDaemonLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    bool inList = false;
    while (std::getline(in, line)) {
        if (!inList) {
            inList = line == "MNGSW";
        } else if (line == "*") {
            break;
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> swaDriverNames(const std::string& text, const std::string& marker)
{
    std::vector<std::string> names;
    bool inList = false;
    bool done = false;
    forEachLineWords(text, [&](const std::vector<std::string>& words, const std::string&) {
        if (done || words.empty()) return;
        if (!inList) {
            inList = words[0] == marker;
        } else if (words[0] == "*") {
            done = true;
        } else {
            names.push_back(words[0].substr(0, 255));
        }
    });
    return names;
}

} // namespace swfiles
