#include "tokenizer.h"

#include <array>

void TokenizerThrowsObjects::indexOutOfBounds(bool inFile)
{
    if (inFile) throw FileTokenizerError("index out of bounds");
    throw StringTokenizerError("index out of bounds");
}

void TokenizerThrowsObjects::fileNotFound() { throw FileTokenizerError(FileTokenizerError::kFileNotFound); }

template <class ErrorPolicy>
void BasicStringTokenizer<ErrorPolicy>::tokenizer(const std::string& input,
                                                  const std::string& delim)
{
    input_string = input;
    delim_string = delim;
    tokens.clear();
    // Agents tokenize every line of their files on every request: one table lookup per
    // character instead of a search of the delimiters.
    std::array<bool, 256> delimiter{};
    for (const char ch : delim_string) delimiter[static_cast<unsigned char>(ch)] = true;
    const auto isDelim = [&](char ch) { return delimiter[static_cast<unsigned char>(ch)]; };
    const size_t length = input_string.size();
    size_t p = 0;
    // Trailing delimiters leave one empty token behind: callers count on it.
    while (p < length) {
        while (p < length && isDelim(input_string[p])) ++p;
        const size_t start = p;
        while (p < length && !isDelim(input_string[p])) ++p;
        tokens.emplace_back(input_string, start, p - start);
    }
}

template <class ErrorPolicy>
std::string& BasicStringTokenizer<ErrorPolicy>::getToken(unsigned tok_index)
{
    if (tok_index >= tokens.size()) {
        ErrorPolicy::indexOutOfBounds(false);
        static std::string none;
        none.clear();
        return none;
    }
    return tokens[tok_index];
}

template <class ErrorPolicy>
bool BasicFileTokenizer<ErrorPolicy>::open(const std::string& file)
{
    input_file.open(file, std::ios::in | std::ios::binary);
    if (!input_file.is_open()) {
        ErrorPolicy::fileNotFound();
        return false;
    }
    std::string line;
    // getline reports a last line without '\n' by setting eof: such a line is dropped.
    while (std::getline(input_file, line) && !input_file.eof())
        file_lines.emplace_back(line, delimiters);
    input_file.close();
    input_file.clear();
    return true;
}

template <class ErrorPolicy>
BasicStringTokenizer<ErrorPolicy>& BasicFileTokenizer<ErrorPolicy>::getLine(unsigned line)
{
    if (line >= file_lines.size()) {
        ErrorPolicy::indexOutOfBounds(true);
        static BasicStringTokenizer<ErrorPolicy> none("", "");
        none.tokenizer("", "");
        return none;
    }
    return file_lines[line];
}

template class BasicStringTokenizer<TokenizerThrowsObjects>;
template class BasicFileTokenizer<TokenizerThrowsObjects>;
template class BasicStringTokenizer<TokenizerThrowsStatus>;
template class BasicFileTokenizer<TokenizerThrowsStatus>;
template class BasicStringTokenizer<TokenizerNeverThrows>;
template class BasicFileTokenizer<TokenizerNeverThrows>;
