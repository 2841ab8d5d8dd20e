#include "fuzz.h"

#include "send/escape.h"

// A line the keyboard parser accepts is a valid function key text that expands to the same
// bytes; a rejected line gives a bounded "ERROR: " line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text = Text(data, size).c_str();
    unsigned char out[KEY_TEXT_SIZE], expanded[KEY_TEXT_SIZE];
    char errorLine[KEY_TEXT_SIZE];
    int count = ParseKeyboardLine(text.c_str(), out, errorLine);
    if (count < 0) {
        if (std::strncmp(errorLine, "ERROR: ", 7) != 0 || std::strlen(errorLine) > KEY_TEXT_SIZE - 1)
            std::abort();
        return 0;
    }
    text.resize(std::min<size_t>(text.size(), KEY_TEXT_SIZE - 1));
    int start = 0, length = 0;
    if (count > (int)text.size() || out[count] != 0 || !ValidateFunctionKeyText(text.c_str(), &start, &length) ||
        ExpandFunctionKey(text.c_str(), expanded, KEY_TEXT_SIZE) != count || std::memcmp(out, expanded, count) != 0)
        std::abort();
    return 0;
}
