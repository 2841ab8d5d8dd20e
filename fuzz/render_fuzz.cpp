#include "terminal/log_join.h"
#include "terminal/render.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Line {
    std::string text;
    int open;
};

std::vector<Line> g_lines;

void Record(const char* line, int open)
{
    g_lines.push_back({line, open});
}

std::string Tokens(const uint8_t* bytes, int length)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < length; ++i) {
        uint8_t b = bytes[i];
        if (b == 0)
            continue;
        if ((b >= 0x20 && b <= 0x7D) || (b >= 0xA0 && b <= 0xDF)) {
            out += static_cast<char>(b);
        } else {
            out += '<';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
            out += '>';
        }
    }
    return out;
}

bool EndsWith(const std::string& s, const char* tail)
{
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// Joining the lines in a log never loses, duplicates or over-extends text.
void CheckJoining(int width)
{
    std::vector<std::string> log;
    std::string all;
    int continuation = 0;
    for (const Line& line : g_lines) {
        size_t before = log.empty() ? 0 : log.back().size();
        AppendPlan plan = PlanAppend(log.empty() ? nullptr : log.back().c_str(),
                                     continuation, line.text.c_str(), width);
        if (plan.replaceLast) {
            if (before >= static_cast<size_t>(width) || plan.last.size() > static_cast<size_t>(width))
                abort();
            log.back() = plan.last;
        }
        if (plan.addExtra)
            log.push_back(plan.extra);
        continuation = line.open;
        all += line.text;
    }
    std::string joined;
    for (const std::string& s : log)
        joined += s;
    if (joined != all)
        abort();
}

}  // namespace

// First byte chooses how the width is formed, the next four give it; the
// rest is the received chunk.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    int32_t raw;
    std::memcpy(&raw, data + 1, sizeof raw);
    int width = (data[0] & 1) ? ClampLineWidth(raw) : raw;
    const uint8_t* bytes = data + 5;
    int length = static_cast<int>(size - 5);

    g_lines.clear();
    RenderReceivedData(length, bytes, width, Record);

    size_t lineEnds = 0;
    for (int i = 0; i < length; ++i)
        lineEnds += bytes[i] == 0x0A || bytes[i] == 0x0C;

    long long limit = (width > 1 ? static_cast<long long>(width) : 1) + 3;
    size_t closed = 0;
    std::string all;
    for (size_t i = 0; i < g_lines.size(); ++i) {
        const Line& line = g_lines[i];
        if (line.text.empty() || static_cast<long long>(line.text.size()) > limit)
            abort();
        if (!line.open && !EndsWith(line.text, "<0A>") && !EndsWith(line.text, "<0C>"))
            abort();
        closed += !line.open;
        bool last = i + 1 == g_lines.size();
        if (line.open && !last && static_cast<long long>(line.text.size()) < width)
            abort();
        all += line.text;
    }
    if (closed != lineEnds || all != Tokens(bytes, length))
        abort();

    if (width >= 1)
        CheckJoining(width);
    return 0;
}
