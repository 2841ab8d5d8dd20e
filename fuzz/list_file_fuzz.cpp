#include "fuzz.h"

#include "send/list_file.h"

// Names read are usable paths, and saving them reads back the same list.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> names;
    if (!ReadListFile(reinterpret_cast<const char*>(data), size, names))
        return 0;
    if (names.empty() || names.size() > LIST_ENTRY_MAX)
        std::abort();
    for (const std::string& name : names) {
        if (name.empty() || name.size() > LIST_NAME_MAX || name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            std::abort();
    }
    std::string file = FormatListFile(names);
    std::vector<std::string> again;
    if (!ReadListFile(file.data(), file.size(), again) || again != names)
        std::abort();
    return 0;
}
