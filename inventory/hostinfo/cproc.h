// Reader of line-oriented "key <separator> value" text such as the entries under /proc or the
// kernel's boot messages. Results point into the object's or the class's buffers and stay valid
// until the next call; one thread at a time.
#pragma once

#include <string>

class CPROC {
public:
    CPROC(const char* fileName, char separator, int title);
    // Reads `contents` instead of a file (output captured from a command).
    struct Text {};
    CPROC(Text, std::string contents, char separator, int title);

    // Line n (1-based) without its newline; null when the file cannot be opened or is shorter.
    char* getLine(int n);
    // Word nToken after (direction 0) or before (direction 1) the first whole occurrence of key.
    char* findToken(const char* key, int nToken, int direction);
    // The value part of the first line whose key is `key`, or the value word of its sub-key.
    char* getValue(const char* key, const char* subKey = nullptr);
    // Zero-terminated names ended by an empty name.
    char* getAllKeys();
    char* getAllSubKeys(const char* key);

    static constexpr int kLineLength = 255;

private:
    struct Source;
    char* prepOutput(const char* text, int collapse);
    char* getToken(const char* line, int at, int nToken, int direction);
    bool appendName(const char* name, int length);
    bool isDelimiter(char c) const;

    char m_chFileName[256] = {};
    char m_chFileBuffer[257] = {};
    char m_chSeparatorChar;
    int m_nPosBuf = 0;
    int m_bTitle;
    char m_chBuffer[10240];
    std::string m_contents;
    bool m_bFromText = false;
    bool m_bNameFits = true;

    static char s_line[kLineLength + 1];
    static char s_token[kLineLength + 1];
    static char s_reversed[kLineLength + 1];
};
