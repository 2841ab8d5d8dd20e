#include "fuzz.h"

#include "ports/rs232c/line.h"

// Port names as the spooler hands them over, NUL-separated: the list the dialog builds
// from them never goes past the highest port any platform offers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text = Text(data, size);
    std::vector<const char*> names = {text.c_str()};
    for (size_t i = 0; i < size; i++)
        if (text[i] == '\0') names.push_back(text.c_str() + i + 1);
    int highest = HighestComPort(names.data(), (int)names.size());
    if (highest < 0 || highest > MAX_COM_PORT) std::abort();
    return 0;
}
