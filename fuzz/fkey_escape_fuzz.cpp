#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "send/escape.h"

// Expansion into a small buffer is a prefix of the full expansion; the
// validator's selection lies in the text and starts at a backslash.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int outSize = data[0] % 64;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.c_str();

    unsigned char* full = new unsigned char[text.size() + 1];
    int fullCount = ExpandFunctionKey(text.c_str(), full, static_cast<int>(text.size()) + 1);
    if (fullCount > static_cast<int>(text.size()) || full[fullCount] != 0)
        std::abort();
    unsigned char* small = new unsigned char[outSize + 1];
    small[outSize] = 0xEE;
    int smallCount = ExpandFunctionKey(text.c_str(), small, outSize);
    int expected = outSize < 1 ? 0 : std::min(fullCount, outSize - 1);
    if (smallCount != expected || small[outSize] != 0xEE || std::memcmp(small, full, smallCount) != 0)
        std::abort();
    delete[] small;
    delete[] full;

    int start = -1, length = -1;
    if (!ValidateFunctionKeyText(text.c_str(), &start, &length)) {
        if (start < 0 || length < 1 || length > 4 || start + length > static_cast<int>(text.size()) ||
            text[start] != '\\')
            std::abort();
    }
    return 0;
}
