#include "swa_list.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include "sandbox_path.h"
#include "tokenizer.h"

namespace swfiles {

namespace {
constexpr char kLineDelimiters[] = " \n\f\t\r";
} // namespace

std::optional<std::string> readFixedFile(const char* fixedPath)
{
    // Read with read(2): a stream reads a directory, or a file the disk fails on, as an empty
    // text, and an empty configuration would pass for one that says nothing.
    const int fd = ::open(qv::sandboxPath(fixedPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
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
