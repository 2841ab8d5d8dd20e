#include "fuzz.h"

#include "send/escape.h"

// Expansion into a small buffer is a prefix of the full expansion and stays inside the buffer;
// the validator's selection lies in the text and starts at a backslash.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int outSize = data[0] % 64;
    std::string text = Text(data + 1, size - 1).c_str();
    std::vector<unsigned char> full(text.size() + 1), small(outSize + 1, 0xEE);
    int fullCount = ExpandFunctionKey(text.c_str(), full.data(), (int)full.size());
    int smallCount = ExpandFunctionKey(text.c_str(), small.data(), outSize);
    if (fullCount > (int)text.size() || full[fullCount] != 0 || small[outSize] != 0xEE ||
        smallCount != (outSize < 1 ? 0 : std::min(fullCount, outSize - 1)) ||
        std::memcmp(small.data(), full.data(), smallCount) != 0)
        std::abort();
    int start = -1, length = -1;
    if (!ValidateFunctionKeyText(text.c_str(), &start, &length) &&
        (start < 0 || length < 1 || length > 4 || start + length > (int)text.size() || text[start] != '\\'))
        std::abort();
    return 0;
}
