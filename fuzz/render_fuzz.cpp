#include "terminal/log_join.h"
#include "terminal/render.h"

#include "fuzz.h"

static std::vector<std::pair<std::string, int>> lines;

static void Record(const char* line, int open)
{
    lines.emplace_back(line, open);
}

static bool ClosedByLineEnd(const std::string& s)
{
    return s.size() >= 4 && (s.compare(s.size() - 4, 4, "<0A>") == 0 || s.compare(s.size() - 4, 4, "<0C>") == 0);
}

// First byte: whether the width is clamped as the display clamps it; next four: the width;
// the rest is the chunk. Lines are bounded, closed only by LF or FF, and joining them into
// a log neither loses nor duplicates text nor overfills a line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    int width;
    std::memcpy(&width, data + 1, sizeof width);
    if (data[0] & 1)
        width = ClampLineWidth(width);
    const uint8_t* bytes = data + 5;
    int length = static_cast<int>(size - 5);
    lines.clear();
    RenderReceivedData(length, bytes, width, Record);

    long long lineEnds = std::count_if(bytes, bytes + length, [](uint8_t b) { return b == 0x0A || b == 0x0C; });
    long long limit = std::max(width, 1) + 3LL;
    std::vector<std::string> log;
    std::string rendered, joined;
    int continuation = 0;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string& text = lines[i].first;
        int open = lines[i].second;
        if (text.empty() || (long long)text.size() > limit || (!open && !ClosedByLineEnd(text)))
            abort();
        if (open && i + 1 < lines.size() && (long long)text.size() < width)
            abort();
        lineEnds -= !open;
        rendered += text;
        if (width < 1)
            continue;
        AppendPlan plan = PlanAppend(log.empty() ? nullptr : log.back().c_str(), continuation, text.c_str(), width);
        if (plan.replaceLast && (log.back().size() >= (size_t)width || plan.last.size() > (size_t)width))
            abort();
        if (plan.replaceLast)
            log.back() = plan.last;
        if (plan.addExtra)
            log.push_back(plan.extra);
        continuation = open;
    }
    for (const std::string& line : log)
        joined += line;
    if (lineEnds != 0 || (width >= 1 && joined != rendered))
        abort();
    return 0;
}
