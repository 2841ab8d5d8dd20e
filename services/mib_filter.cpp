#include "services/mib_filter.h"

namespace {

int IsLineControl(char c)
{
    return c >= 10 && c <= 13;
}

int Accepted(int field, char c)
{
    int digit = c >= '0' && c <= '9';
    switch (field) {
    case MIB_FIELD_INTEGER:
        return digit;
    case MIB_FIELD_OBJECT_ID:
    case MIB_FIELD_OID_VALUE:
        return digit || (c >= 'A' && c <= 'F') || c == ' ' || IsLineControl(c);
    default:
        return digit || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsLineControl(c);
    }
}

int IsHexField(int field)
{
    return field == MIB_FIELD_OBJECT_ID || field == MIB_FIELD_OID_VALUE;
}

// What the layout keeps of the typed text: the hex fields lose blanks as well as CR and LF.
int Kept(int field, char c)
{
    return c != '\r' && c != '\n' && !(IsHexField(field) && c == ' ');
}

std::string Layout(int field, const std::string& kept)
{
    std::string out;
    for (size_t i = 0; i < kept.size(); i++) {
        if (IsHexField(field)) {
            if (i && i % 32 == 0)
                out += "\r\n";
            else if (i && i % 2 == 0)
                out += ' ';
        } else if (i && i % 50 == 0) {
            out += "\r\n";
        }
        out += kept[i];
    }
    return out;
}

}  // namespace

size_t MibFieldLimit(int field)
{
    static const size_t limits[] = {266, 1558, 4, 9186, 4592};
    return field >= 0 && field <= MIB_FIELD_OID_VALUE ? limits[field] : 0;
}

int MibFilter(int field, const std::string& text, size_t caret, std::string* laidOut, size_t* newCaret)
{
    std::string kept;
    size_t before = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (!Accepted(field, text[i]))
            return 0;
        if (Kept(field, text[i])) {
            kept += text[i];
            before += i < caret;
        }
    }
    *laidOut = field == MIB_FIELD_INTEGER ? text : Layout(field, kept);
    if (laidOut->size() > MibFieldLimit(field))
        return 0;
    if (field == MIB_FIELD_INTEGER) {
        *newCaret = caret < text.size() ? caret : text.size();
        return 1;
    }
    size_t at = 0;
    for (size_t seen = 0; seen < before; at++)
        seen += Kept(field, (*laidOut)[at]);
    *newCaret = at;
    return 1;
}
