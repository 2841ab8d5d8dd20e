#include "terminal/log_join.h"

#include <cstring>

namespace {

const int kMaxLineWidth = 1024;

const char* const kMarkers[] = {":", "Send", "Error", "error", "ERROR", "<04>", "<1B>%-12345X"};

}  // namespace

int ClampLineWidth(int dspLine)
{
    if (dspLine < 1)
        return 1;
    if (dspLine > kMaxLineWidth)
        return kMaxLineWidth;
    return dspLine;
}

int IsJoinableLine(const char* line)
{
    if (line == nullptr)
        return 0;
    for (const char* marker : kMarkers) {
        if (std::strstr(line, marker) != nullptr)
            return 0;
    }
    return 1;
}

AppendPlan PlanAppend(const char* last, int continuation, const char* text, int width)
{
    AppendPlan plan{0, std::string(), 1, std::string(text ? text : "")};
    if (last == nullptr || !continuation || !IsJoinableLine(last))
        return plan;
    long long lastLength = static_cast<long long>(std::strlen(last));
    if (lastLength >= width)
        return plan;
    size_t room = static_cast<size_t>(width - lastLength);
    plan.replaceLast = 1;
    plan.last = last;
    if (room < plan.extra.size()) {
        plan.last.append(plan.extra, 0, room);
        plan.extra.erase(0, room);
    } else {
        plan.last += plan.extra;
        plan.extra.clear();
        plan.addExtra = 0;
    }
    return plan;
}

void StripInterfacePrefix(char* text)
{
    if (text == nullptr)
        return;
    char* cut = std::strchr(text, ')');
    if (cut == nullptr)
        cut = std::strchr(text, ':');
    if (cut == nullptr)
        return;
    std::memmove(text, cut + 1, std::strlen(cut + 1) + 1);
}
