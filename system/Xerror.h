// The one error reporter and the two optional text logs.
// Every failure of the program is reported here once and ends the process.
#pragma once
#include <cstdio>

// Formats into one shared 256-character buffer and returns it; the text stays
// valid until the next call. Longer texts are cut at 255 characters.
char* xFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

class xError {
public:
    xError();

    // "Error: %s\n"
    [[noreturn]] void Fatal(const char* text);
    // "Error: %s\nFile %s\nLine %d\n"
    [[noreturn]] void Assert(const char* file, int line, const char* text);
    // Coded report from the error table, with or without a detail text.
    [[noreturn]] void Raise(const char* file, int line, int code, const char* detail);

    const char* caption;
    int tableSize;
    const char* defaultText;
    char message[256];
    int code;

private:
    [[noreturn]] void Report(const char* caption, int exitStatus);
};

extern xError g_xError;

// Exit statuses of a reported failure. A report never exits with 0: plain
// and assertion reports end with 3, a code the error table leaves unused;
// coded reports with their table code, and an unknown code with 255.
enum { XERR_EXIT_FATAL = 3, XERR_EXIT_UNKNOWN = 255 };

// Replaces the process exit of a report (fuzz targets jump back to their
// loop from here). If the hook returns, the process exits as usual.
void xErrorSetExitHook(void (*hook)(int status));

// Assertion with the module's path and a fixed line, as the reports name it.
#define X_ASSERT(cond, file, line) \
    do { if (!(cond)) g_xError.Assert(file, line, "Assertion failed"); } while (0)

class xLog {
public:
    xLog();
    ~xLog();
    void Open(const char* name);
    void Print(const char* text);
    bool IsOpen() const { return file != nullptr; }

    FILE* file;
    char* name;
    const char* prefix;
};

class x3dLog {
public:
    x3dLog();
    ~x3dLog();
    void Open(const char* name);
    void Print(const char* text);
    bool IsOpen() const { return file != nullptr; }

    FILE* file;
    char* name;
};

extern xLog g_xLog;
extern x3dLog g_x3dLog;
