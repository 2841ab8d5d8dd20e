#include "terminal/render.h"

#include <string>

namespace {

bool IsDisplayable(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7D) || (b >= 0xA0 && b <= 0xDF);
}

void AppendToken(std::string& line, unsigned char b)
{
    static const char hex[] = "0123456789ABCDEF";
    if (IsDisplayable(b)) {
        line += static_cast<char>(b);
        return;
    }
    line += '<';
    line += hex[b >> 4];
    line += hex[b & 0x0F];
    line += '>';
}

}  // namespace

int RenderReceivedData(int length, const unsigned char* bytes, int width, DisplayLineFn emit)
{
    if (length <= 0 || bytes == nullptr || emit == nullptr)
        return 1;
    std::string line;
    for (int i = 0; i < length; ++i) {
        unsigned char b = bytes[i];
        if (b == 0x00)
            continue;
        AppendToken(line, b);
        if (b == 0x0A || b == 0x0C) {
            emit(line.c_str(), 0);
            line.clear();
        }
        // The size comparison stays in 64 bits so a huge or negative width cannot wrap.
        if (!line.empty() && static_cast<long long>(line.size()) >= width) {
            emit(line.c_str(), 1);
            line.clear();
        }
    }
    if (!line.empty())
        emit(line.c_str(), 1);
    return 1;
}
