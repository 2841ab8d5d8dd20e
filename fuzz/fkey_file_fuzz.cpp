#include "fuzz.h"

#include "send/escape.h"
#include "send/fkey_file.h"

// Whatever a file gives back is saved and read again unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string texts[FUNCTION_KEY_COUNT];
    if (!ReadFunctionKeyFile(reinterpret_cast<const char*>(data), size, texts))
        return 0;
    const char* pointers[FUNCTION_KEY_COUNT];
    for (int i = 0; i < FUNCTION_KEY_COUNT; i++) {
        if (texts[i].size() > KEY_TEXT_SIZE - 1 || texts[i].find("\r\n") != std::string::npos)
            std::abort();
        pointers[i] = texts[i].c_str();
    }
    std::string file = FormatFunctionKeyFile(pointers);
    std::string again[FUNCTION_KEY_COUNT];
    if (!ReadFunctionKeyFile(file.data(), file.size(), again))
        std::abort();
    if (!std::equal(texts, texts + FUNCTION_KEY_COUNT, again))
        std::abort();
    return 0;
}
