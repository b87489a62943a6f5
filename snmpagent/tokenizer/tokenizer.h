// Splitting a string, or every line of a small text file, into words.
//
// The classes are templates over an error policy: the agents' version throws objects of the
// TokenizerError family, the version library's throws int status codes, and the volume capacity
// library's throws nothing (a file is read only by open(), which reports failure by its result).
// Use the aliases StringTokenizer/FileTokenizer, StatusStringTokenizer/StatusFileTokenizer or
// StringTk/FileTk.
#pragma once

#include <fstream>
#include <string>
#include <vector>

class TokenizerError {
public:
    explicit TokenizerError(const std::string& message) : error_message(message) {}
    virtual ~TokenizerError() = default;
    virtual std::string getMessage() const { return error_message; }
    TokenizerError(const TokenizerError&) = default;
    virtual TokenizerError& operator=(const TokenizerError&) = default;

private:
    std::string error_message;
};

class StringTokenizerError : public TokenizerError {
public:
    using TokenizerError::TokenizerError;
};

class FileTokenizerError : public TokenizerError {
public:
    using TokenizerError::TokenizerError;
    static constexpr const char* kFileNotFound = "file not found";
};

// Throws the error objects above.
struct TokenizerThrowsObjects {
    static constexpr bool kReadsOnConstruction = true;
    [[noreturn]] static void indexOutOfBounds(bool inFile);
    [[noreturn]] static void fileNotFound();
};

// Throws int status codes: 0x100010 index out of range, 0x100019 file not opened.
struct TokenizerThrowsStatus {
    static constexpr bool kReadsOnConstruction = true;
    static constexpr int kIndexOutOfRange = 0x100010;
    static constexpr int kFileNotOpened = 0x100019;
    [[noreturn]] static void indexOutOfBounds(bool) { throw kIndexOutOfRange; }
    [[noreturn]] static void fileNotFound() { throw kFileNotOpened; }
};

// Throws nothing: an index past the end reads an empty token or line, a missing file makes
// open() return false.
struct TokenizerNeverThrows {
    static constexpr bool kReadsOnConstruction = false;
    static void indexOutOfBounds(bool) {}
    static void fileNotFound() {}
};

template <class ErrorPolicy>
class BasicStringTokenizer {
public:
    BasicStringTokenizer(const std::string& input, const std::string& delim)
    {
        tokenizer(input, delim);
    }
    virtual ~BasicStringTokenizer() = default;
    BasicStringTokenizer(const BasicStringTokenizer&) = default;
    BasicStringTokenizer& operator=(const BasicStringTokenizer&) = default;
    // Moved, not copied, when a file's lines outgrow their vector.
    BasicStringTokenizer(BasicStringTokenizer&&) noexcept = default;
    BasicStringTokenizer& operator=(BasicStringTokenizer&&) noexcept = default;

    virtual void tokenizer(const std::string& input, const std::string& delim);
    virtual unsigned getTokenCount() { return static_cast<unsigned>(tokens.size()); }
    virtual std::string& getToken(unsigned tok_index);
    virtual std::string& getInputString() { return input_string; }
    virtual std::string& getDelimitersString() { return delim_string; }

    bool isDelimiter(char ch) const { return delim_string.find(ch) != std::string::npos; }

private:
    std::string input_string;
    std::string delim_string;
    std::vector<std::string> tokens;
};

template <class ErrorPolicy>
class BasicFileTokenizer {
public:
    BasicFileTokenizer(const std::string& file, const std::string& delim)
        : file_name(file), delimiters(delim)
    {
        if (ErrorPolicy::kReadsOnConstruction && !file.empty()) open(file);
    }
    virtual ~BasicFileTokenizer() = default;

    // Appends the file's newline-terminated lines to those read before. False (or the policy's
    // error) when the file cannot be opened; the lines read before then stay.
    virtual bool open() { return open(file_name); }
    virtual bool open(const std::string& file);
    virtual BasicFileTokenizer& close()
    {
        if (!file_name.empty()) file_lines.clear();
        return *this;
    }
    virtual unsigned getLinesCount() { return static_cast<unsigned>(file_lines.size()); }
    virtual BasicStringTokenizer<ErrorPolicy>& getLine(unsigned line);

private:
    std::string file_name;
    std::string delimiters;
    std::ifstream input_file;
    std::vector<BasicStringTokenizer<ErrorPolicy>> file_lines;
};

using StringTokenizer = BasicStringTokenizer<TokenizerThrowsObjects>;
using FileTokenizer = BasicFileTokenizer<TokenizerThrowsObjects>;
using StatusStringTokenizer = BasicStringTokenizer<TokenizerThrowsStatus>;
using StatusFileTokenizer = BasicFileTokenizer<TokenizerThrowsStatus>;
using StringTk = BasicStringTokenizer<TokenizerNeverThrows>;
using FileTk = BasicFileTokenizer<TokenizerNeverThrows>;

extern template class BasicStringTokenizer<TokenizerThrowsObjects>;
extern template class BasicFileTokenizer<TokenizerThrowsObjects>;
extern template class BasicStringTokenizer<TokenizerThrowsStatus>;
extern template class BasicFileTokenizer<TokenizerThrowsStatus>;
extern template class BasicStringTokenizer<TokenizerNeverThrows>;
extern template class BasicFileTokenizer<TokenizerNeverThrows>;
