#include "trap_destination_file.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "atomic_file.h"
#include "sandbox_path.h"
#include "tokenizer.h"

namespace qv::inventory {

namespace {

constexpr char kDelimiters[] = " \n\t\r\f";

std::vector<std::string> linesOf(const std::string& contents)
{
    std::vector<std::string> lines;
    std::istringstream in(contents);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Leading delimiters are skipped, so an empty first word means a line of white space only.
bool hasWords(StringTokenizer& words) { return words.getTokenCount() > 0 && !words.getToken(0).empty(); }

bool startsWithHost(StringTokenizer& words, const std::string& host)
{
    return hasWords(words) && words.getToken(0) == host;
}

bool readWhole(const std::string& path, std::string& contents)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    contents = text.str();
    return !in.bad();
}

template <class Edit>
int rewriteDestinations(Edit edit)
{
    const std::string path = qv::sandboxPath(kTrapDestinationFile);
    struct stat st {};
    std::string contents;
    if (stat(path.c_str(), &st) != 0 || !readWhole(path, contents)) return -1;
    const std::optional<std::string> updated = edit(contents);
    if (!updated) return -1;
    // The daemons read the file without a lock: they must see the old file or the new one.
    return qv::replaceFileContents(path, *updated, st.st_mode & 07777) == 0 ? 0 : -1;
}

} // namespace

std::string withHostAdded(const std::string& contents, const std::string& host)
{
    std::string out;
    bool present = false;
    for (const std::string& line : linesOf(contents)) {
        StringTokenizer words(line, kDelimiters);
        present = present || startsWithHost(words, host);
        out += line + '\n';
    }
    if (!present) out += host + " mantle 162\n";
    return out;
}

std::optional<std::string> withHostRemoved(const std::string& contents, const std::string& host)
{
    std::string out;
    bool found = false;
    for (const std::string& line : linesOf(contents)) {
        StringTokenizer words(line, kDelimiters);
        if (line.empty() || line[0] == '#') {
            out += line + '\n';
        } else if (startsWithHost(words, host)) {
            found = true;
        } else if (hasWords(words)) {
            out += line + '\n';
        }
    }
    if (!found) return std::nullopt;
    return out;
}

int addHostEntry(const std::string& _host)
{
    return rewriteDestinations([&](const std::string& c) -> std::optional<std::string> {
        return withHostAdded(c, _host);
    });
}

int removeHostEntry(const std::string& _host)
{
    return rewriteDestinations([&](const std::string& c) { return withHostRemoved(c, _host); });
}

} // namespace qv::inventory
