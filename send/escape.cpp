#include "send/escape.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHexSuffix[] = "<- Invalid hex-decimal character.";
const char kEscapeSuffix[] = "<- Invalid escale character.";
// Longest prefix that still gets its suffix: both fit one 1024-byte line buffer.
const size_t kHexSuffixLimit = 990;
const size_t kEscapeSuffixLimit = 995;

bool IsHexDigit(char c)
{
    return HexDigitValue(static_cast<unsigned char>(c)) >= 0;
}

// "\x" followed by two hex digits; safe at the end of the text.
bool IsHexEscape(const char* p)
{
    return p[1] == 'x' && IsHexDigit(p[2]) && IsHexDigit(p[3]);
}

size_t Min(size_t a, size_t b)
{
    return a < b ? a : b;
}

// The prefix plus suffix can exceed the line; the line is cut, never overrun.
void FormatEscapeError(const char* text, size_t prefixLength, const char* suffix,
                       size_t suffixLimit, char* errorLine)
{
    std::snprintf(errorLine, KEY_TEXT_SIZE, "ERROR: %.*s%s", static_cast<int>(prefixLength), text,
                  prefixLength < suffixLimit ? suffix : "");
}

// Byte of "\\", "\n" or "\r" in function key texts; -1 for other characters.
int SimpleEscapeByte(char c)
{
    switch (c) {
    case '\\':
        return 0x5C;
    case 'n':
        return 0x0A;
    case 'r':
        return 0x0D;
    default:
        return -1;
    }
}

}  // namespace

int HexDigitValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

unsigned char HexPairValue(char high, char low)
{
    int h = HexDigitValue(static_cast<unsigned char>(high));
    int l = HexDigitValue(static_cast<unsigned char>(low));
    if (h < 0 || l < 0)
        return 0;
    return static_cast<unsigned char>(h * 16 + l);
}

int ParseKeyboardLine(const char* text, unsigned char* out, char* errorLine)
{
    size_t length = strnlen(text, KEY_TEXT_SIZE - 1);
    int count = 0;
    size_t i = 0;
    while (i < length) {
        if (text[i] != '\\') {
            out[count++] = static_cast<unsigned char>(text[i++]);
        } else if (i + 1 < length && text[i + 1] == '\\') {
            out[count++] = 0x5C;
            i += 2;
        } else if (i + 3 < length && IsHexEscape(text + i)) {
            out[count++] = HexPairValue(text[i + 2], text[i + 3]);
            i += 4;
        } else if (i + 1 < length && text[i + 1] == 'x') {
            FormatEscapeError(text, Min(i + 4, length), kHexSuffix, kHexSuffixLimit, errorLine);
            return -1;
        } else {
            FormatEscapeError(text, Min(i + 2, length), kEscapeSuffix, kEscapeSuffixLimit, errorLine);
            return -1;
        }
    }
    out[count] = 0;
    return count;
}

int ExpandFunctionKey(const char* text, unsigned char* out, int outSize)
{
    if (outSize < 1)
        return 0;
    int count = 0;
    size_t i = 0;
    while (text[i] != '\0' && count < outSize - 1) {
        if (text[i] != '\\') {
            out[count++] = static_cast<unsigned char>(text[i++]);
            continue;
        }
        char next = text[i + 1];
        if (next == '\0')
            break;
        if (next == 'x') {
            if (text[i + 2] == '\0' || text[i + 3] == '\0')
                break;
            if (IsHexEscape(text + i))
                out[count++] = HexPairValue(text[i + 2], text[i + 3]);
            i += 4;
            continue;
        }
        int byte = SimpleEscapeByte(next);
        if (byte >= 0)
            out[count++] = static_cast<unsigned char>(byte);
        i += 2;
    }
    out[count] = 0;
    return count;
}

int ValidateFunctionKeyText(const char* text, int* selStart, int* selLength)
{
    size_t length = std::strlen(text);
    size_t i = 0;
    while (i < length) {
        if (text[i] != '\\') {
            i++;
        } else if (SimpleEscapeByte(text[i + 1]) >= 0) {
            i += 2;
        } else if (IsHexEscape(text + i)) {
            i += 4;
        } else {
            size_t width = text[i + 1] == 'x' ? 4 : 2;
            *selStart = static_cast<int>(i);
            *selLength = static_cast<int>(Min(width, length - i));
            return 0;
        }
    }
    return 1;
}
