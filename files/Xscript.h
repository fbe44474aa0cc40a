// Line reader of keyword-plus-arguments text scripts (CR LF text, C block
// comments wherever a keyword may stand).
#pragma once
#include <cstdint>

struct xFile;

class xScript {
public:
    xScript();
    ~xScript();
    xScript(const xScript&) = delete;
    xScript& operator=(const xScript&) = delete;

    // Takes a private copy of the file's bytes; replaces any previous script.
    void Load(xFile* file);
    void Free();

    // The next keyword (at most 79 characters), or null at the end. The rest
    // of its line becomes the argument text of the accessors below.
    char* NextKeyword();

    int GetInt();
    float GetFloat();
    // The argument text without its separator and trailing carriage return
    // (in place); GetString returns a heap copy the caller frees.
    char* GetText();
    char* GetString();
    // -1, 0 or 1 as the argument text orders against text.
    int CompareText(const char* text);
    // Splits the argument text in place at blanks into at most n words.
    void SplitArgs(int n);
    // atof of word index (1-based; below 1 counts as 1), 0 when there is none.
    float GetArgFloat(int index);

    enum { BUFFER_SIZE = 256, KEYWORD_MAX = 79 };

    char* text;        // the script, followed by zero bytes
    char* keyword;     // BUFFER_SIZE bytes
    char* rest;        // BUFFER_SIZE bytes: the line after the keyword
    int32_t size;
    int32_t pos;       // start of the next line, or the byte after a comment
    char** arguments;  // words of rest after SplitArgs
    uint32_t end;      // set once the reader ran past the last byte
    int32_t argCount;  // entries in arguments

private:
    void NextLine(int32_t from);
    void PrepareText();
};
