// The lists of qvswa.cfg. Three readers scan the same file in three ways, and a file must
// satisfy all of them: words (membership), exact lines (daemon list), first words of lines
// (driver lists). A list ends at its "*" or at the end of the file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace swfiles {

// The whole text of a fixed file below the sandbox root; nullopt when it cannot be read.
std::optional<std::string> readFixedFile(const char* fixedPath);

// Calls `visit` with the words of each line of `text` (split at blanks, newlines, form feeds,
// tabs and carriage returns) and the line itself; a last line without '\n' counts too.
void forEachLineWords(const std::string& text,
                      const std::function<void(const std::vector<std::string>& words,
                                               const std::string& line)>& visit);

// True when `name` is a word of a list begun by the word "MNGSW" or "AGENTS" anywhere.
bool swaListsProgram(const std::string& text, const std::string& name);

// The lines after a line that is exactly "MNGSW", up to a line that is exactly "*".
std::vector<std::string> swaDaemonLines(const std::string& text);

// The first words of the lines after the line whose first word is `marker` ("SCSI", "DAC",
// "NIC"), up to a line whose first word is "*"; at most 255 characters of each.
std::vector<std::string> swaDriverNames(const std::string& text, const std::string& marker);

} // namespace swfiles
