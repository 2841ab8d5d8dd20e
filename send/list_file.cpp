#include "send/list_file.h"

#include <algorithm>
#include <cctype>

namespace {

void EndName(std::vector<std::string>& names, std::string& name)
{
    if (!name.empty())
        names.push_back(name);
    name.clear();
}

bool LessNoCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

int ReadListFile(const char* data, size_t size, std::vector<std::string>& names)
{
    std::vector<std::string> read;
    std::string name;
    for (size_t i = 0; i < size && read.size() < LIST_ENTRY_MAX; i++) {
        char c = data[i];
        if (c == '\0')
            return 0;
        if (c != '\r' && c != '\n') {
            if (name.size() < LIST_NAME_MAX)
                name += c;
            continue;
        }
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n')
            i++;
        EndName(read, name);
    }
    if (read.size() < LIST_ENTRY_MAX)
        EndName(read, name);
    if (read.empty())
        return 0;
    names.swap(read);
    return 1;
}

std::string FormatListFile(const std::vector<std::string>& names)
{
    std::string file;
    for (const std::string& name : names)
        file += name + "\r\n";
    return file;
}

void SortPathsNoCase(std::vector<std::string>& paths)
{
    std::stable_sort(paths.begin(), paths.end(), LessNoCase);
}

