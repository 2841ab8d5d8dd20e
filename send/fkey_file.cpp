#include "send/fkey_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "send/escape.h"

namespace {

// Index of the CR of the next CR LF at or after pos, or size.
size_t FindLineEnd(const char* data, size_t size, size_t pos)
{
    for (size_t i = pos; i + 1 < size; i++) {
        if (data[i] == '\r' && data[i + 1] == '\n')
            return i;
    }
    return size;
}

// The first two characters as a decimal number, blanks and a sign allowed.
int LineKeyNumber(const char* line, size_t length)
{
    char digits[3] = {0, 0, 0};
    for (size_t i = 0; i < 2 && i < length; i++)
        digits[i] = line[i];
    return static_cast<int>(std::strtol(digits, nullptr, 10));
}

}  // namespace

std::string FormatFunctionKeyFile(const char* const texts[FUNCTION_KEY_COUNT])
{
    std::string file;
    for (int key = 1; key <= FUNCTION_KEY_COUNT; key++) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d,", key);
        file += number;
        if (texts[key - 1] != nullptr)
            file += texts[key - 1];
        file += "\r\n";
    }
    return file;
}

int ReadFunctionKeyFile(const char* data, size_t size, std::string texts[FUNCTION_KEY_COUNT])
{
    // A key text cannot hold a NUL; such a file was not written by us.
    if (size == 0 || std::memchr(data, '\0', size) != nullptr)
        return 0;
    std::string read[FUNCTION_KEY_COUNT];
    size_t pos = 0;
    while (pos < size) {
        size_t end = FindLineEnd(data, size, pos);
        int key = LineKeyNumber(data + pos, end - pos);
        if (key < 1 || key > FUNCTION_KEY_COUNT)
            return 0;
        size_t textStart = pos + 3;
        read[key - 1].clear();
        if (textStart < end)
            read[key - 1].assign(data + textStart, std::min<size_t>(end - textStart, KEY_TEXT_SIZE - 1));
        pos = end + 2;
    }
    for (int i = 0; i < FUNCTION_KEY_COUNT; i++)
        texts[i] = read[i];
    return 1;
}
