#include "Xscript.h"

#include <cstdlib>
#include <cstring>

#include "files/xFileIO.h"
#include "system/Xerror.h"

static const char* const kModule = "files/Xscript.cpp";

namespace {

// White space as the C library's scanf sees it.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

} // namespace

xScript::xScript()
    : text(nullptr), keyword(nullptr), rest(nullptr), size(0), pos(0), arguments(nullptr), end(0), argCount(0)
{
}

xScript::~xScript() { Free(); }

void xScript::Free()
{
    // An empty script still owns its blocks, so they are released whatever
    // the size.
    free(text);
    free(keyword);
    free(rest);
    free(arguments);
    text = keyword = rest = nullptr;
    arguments = nullptr;
    argCount = 0;
    end = 0;
    size = 0;
    pos = 0;
}

void xScript::Load(xFile* file)
{
    X_ASSERT(file != nullptr, kModule, 82);
    Free();
    int32_t n = file->size > 0 && file->data ? file->size : 0;
    // Four times the script, zero-filled: every scan meets a zero byte after
    // the text. One byte at least, so an empty script is a valid text too.
    text = (char*)calloc((size_t)n * 4 + 1, 1);
    if (!text)
        g_xError.Raise(kModule, 85, 1, nullptr);
    if (n)
        memcpy(text, file->data, (size_t)n);
    size = n;
    pos = 0;
    end = 0;
    keyword = (char*)calloc(BUFFER_SIZE, 1);
    if (!keyword)
        g_xError.Raise(kModule, 91, 1, nullptr);
    rest = (char*)calloc(BUFFER_SIZE, 1);
    if (!rest)
        g_xError.Raise(kModule, 93, 1, nullptr);
}

void xScript::NextLine(int32_t from)
{
    const char* lf = from < size ? (const char*)memchr(text + from, '\n', (size_t)(size - from)) : nullptr;
    pos = lf ? (int32_t)(lf - text) + 1 : size;
    if (pos >= size) {
        pos = size;
        end = 1;
    }
}

char* xScript::NextKeyword()
{
    if (!text)
        return nullptr;
    for (;;) {
        memset(keyword, 0, BUFFER_SIZE);
        memset(rest, 0, BUFFER_SIZE);
        if (end)
            return nullptr;
        // Blank lines of CR LF text.
        while (text[pos] == '\r') {
            NextLine(pos);
            if (end)
                return nullptr;
        }
        // The keyword: the first word after any white space, line feeds too.
        int32_t start = pos;
        while (start < size && isBlank(text[start]))
            start++;
        if (start >= size) {
            // Only white space is left: there is no further keyword.
            pos = size;
            end = 1;
            return nullptr;
        }
        int32_t i = start;
        int k = 0;
        while (i < size && k < KEYWORD_MAX && text[i] && !isBlank(text[i]))
            keyword[k++] = text[i++];
        // The rest of the line after the keyword, line feed excluded; what
        // does not fit the buffer is cut.
        int r = 0;
        while (i < size && text[i] && text[i] != '\n') {
            if (r < BUFFER_SIZE - 1)
                rest[r++] = text[i];
            i++;
        }

        if (keyword[0] == '/' && keyword[1] == '*') {
            // The comment ends at the first "*/" after its first '*', so "/*/"
            // is already a whole comment.
            const char* star = (const char*)memchr(text + start, '*', (size_t)(size - start));
            const char* close = nullptr;
            for (const char* p = star; p && p + 1 < text + size; p++)
                if (p[0] == '*' && p[1] == '/') {
                    close = p;
                    break;
                }
            if (!close) {
                end = 1;
                return nullptr;
            }
            pos = (int32_t)(close - text) + 2;
            if (pos >= size) {
                pos = size;
                end = 1;
            }
            continue;
        }
        // Continue after the keyword's own line (not after the first line
        // feed the scan skipped), so no keyword is returned twice.
        NextLine(start);
        return keyword;
    }
}

int xScript::GetInt() { return rest ? atoi(rest) : 0; }

float xScript::GetFloat() { return rest ? (float)atof(rest) : 0.0f; }

void xScript::PrepareText()
{
    size_t n = strlen(rest);
    if (n && rest[n - 1] == '\r')
        rest[n - 1] = 0;
}

char* xScript::GetText()
{
    if (!rest)
        return nullptr;
    PrepareText();
    // rest is zero-filled, so past an empty rest there is still an empty text.
    return rest + 1;
}

char* xScript::GetString()
{
    const char* t = GetText();
    if (!t)
        return nullptr;
    size_t n = strlen(t) + 1;
    char* copy = (char*)malloc(n);
    if (!copy)
        g_xError.Raise(kModule, 160, 1, nullptr);
    memcpy(copy, t, n);
    return copy;
}

int xScript::CompareText(const char* other)
{
    const char* t = GetText();
    int c = strcmp(t ? t : "", other);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void xScript::SplitArgs(int n)
{
    free(arguments);
    arguments = nullptr;
    argCount = 0;
    int entries = n > 0 ? n : 1;
    arguments = (char**)calloc((size_t)entries, sizeof(char*));
    if (!arguments)
        g_xError.Raise(kModule, 183, 1, nullptr);
    argCount = n > 0 ? n : 0;
    if (!rest)
        return;
    char* state = nullptr;
    int count = 0;
    for (char* word = strtok_r(rest, " ", &state); word && count < argCount; word = strtok_r(nullptr, " ", &state))
        arguments[count++] = word;
}

float xScript::GetArgFloat(int index)
{
    if (index < 1)
        index = 1;
    if (!arguments || index > argCount || !arguments[index - 1])
        return 0.0f;
    return (float)atof(arguments[index - 1]);
}
