#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ports/rs232c/line.h"

// Port names as the spooler hands them over, NUL-separated: the list the dialog builds
// from them never goes past the highest port any platform offers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> pointers;
    for (const std::string& name : names) pointers.push_back(name.c_str());
    int highest = HighestComPort(pointers.data(), (int)pointers.size());
    if (highest < 0 || highest > MAX_COM_PORT) std::abort();
    return 0;
}
