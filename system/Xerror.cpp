#include "Xerror.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/Plat.h"

namespace {

struct ErrorRow {
    const char* text;
    int code;
    const char* caption;
};

const ErrorRow g_errorTable[8] = {
    {"Everything is ok?!", 0, "XERR:"},
    {"Can't allocate memory", 1, "XERR:"},
    {"File read error ( access denied )", 2, "XERR:"},
    {"File write error ( access denied )", 4, "XERR:"},
    {"Can't access file ( open error )", 5, "XERR:"},
    {"Broken file", 6, "XERR:"},
    {"Internal error", 7, "XERR:"},
    {"Unknown error", 256, "XERR:"},
};

char g_formatBuffer[256];
void (*g_exitHook)(int) = nullptr;

char* copyText(const char* text)
{
    size_t n = strlen(text) + 1;
    char* copy = (char*)malloc(n);
    if (copy)
        memcpy(copy, text, n);
    return copy;
}

} // namespace

xError g_xError;
xLog g_xLog;
x3dLog g_x3dLog;

char* xFormat(const char* format, ...)
{
    memset(g_formatBuffer, 0, sizeof g_formatBuffer);
    va_list args;
    va_start(args, format);
    vsnprintf(g_formatBuffer, sizeof g_formatBuffer, format, args);
    va_end(args);
    return g_formatBuffer;
}

void xErrorSetExitHook(void (*hook)(int)) { g_exitHook = hook; }

xError::xError()
    : caption("XERR:"), tableSize(8), defaultText(g_errorTable[7].text), code(0)
{
    memset(message, 0, sizeof message);
}

void xError::Fatal(const char* text)
{
    memset(message, 0, sizeof message);
    snprintf(message, sizeof message, "Error: %s\n", text);
    Report(caption, XERR_EXIT_FATAL);
}

void xError::Assert(const char* file, int line, const char* text)
{
    memset(message, 0, sizeof message);
    snprintf(message, sizeof message, "Error: %s\nFile %s\nLine %d\n", text, file, line);
    Report(caption, XERR_EXIT_FATAL);
}

void xError::Raise(const char* file, int line, int raisedCode, const char* detail)
{
    const char* text = defaultText;
    const char* rowCaption = caption;
    int found = 256;
    for (int i = 0; i < tableSize; i++)
        if (g_errorTable[i].code == raisedCode) {
            text = g_errorTable[i].text;
            rowCaption = g_errorTable[i].caption;
            found = g_errorTable[i].code;
        }
    code = found;
    memset(message, 0, sizeof message);
    if (detail)
        snprintf(message, sizeof message, "Error: %s -> %s, %d\nFile %s\nLine %d\n", text, detail, code, file, line);
    else
        snprintf(message, sizeof message, "Error: %s, %d\nFile %s\nLine %d\n", text, code, file, line);
    // Statuses 1-7 are the table's own; 0 ("Everything is ok?!") must not read
    // as success, and 256 does not fit an exit status.
    int status = code >= 1 && code <= 7 ? code : code == 0 ? XERR_EXIT_FATAL : XERR_EXIT_UNKNOWN;
    Report(rowCaption, status);
}

void xError::Report(const char* boxCaption, int exitStatus)
{
    while (platShowCursor(true) < 0) {
    }
    platMessageBox(message, boxCaption, MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    if (g_exitHook)
        g_exitHook(exitStatus);
    exit(exitStatus);
}

xLog::xLog() : file(nullptr), name(nullptr), prefix("XLOG") {}

xLog::~xLog()
{
    free(name);
    name = nullptr;
    if (file)
        fclose(file);
    file = nullptr;
}

void xLog::Open(const char* fileName)
{
    file = fopen(fileName, "w+");
    if (!file)
        g_xError.Fatal(xFormat("xLog error: file create error %s\n", fileName));
    name = copyText(fileName);
}

void xLog::Print(const char* text)
{
    if (file)
        fprintf(file, "%s: %s\n", prefix, text);
}

x3dLog::x3dLog() : file(nullptr), name(nullptr) {}

x3dLog::~x3dLog()
{
    free(name);
    name = nullptr;
    if (file)
        fclose(file);
    file = nullptr;
}

void x3dLog::Open(const char* fileName)
{
    file = fopen(fileName, "w+");
    if (!file)
        g_xError.Fatal(xFormat("x3dLog error: file create error %s\n", fileName));
    name = copyText(fileName);
}

void x3dLog::Print(const char* text)
{
    if (file)
        fprintf(file, "X3D: %s\n", text);
}
