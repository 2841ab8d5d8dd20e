#include "services/mib_codec.h"

#include <cstdio>

#include "send/escape.h"

namespace {

const size_t COMMUNITY_MAX = 256;
const size_t OBJECT_ID_WORDS_MAX = 1500;
const size_t VALUE_MAX = 1501;

std::string Stripped(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n' && c != ' ')
            out += c;
    return out;
}

// The hexadecimal number of the first `digits` characters; -1 when one is no digit.
long HexNumber(const std::string& text, size_t digits)
{
    long value = 0;
    for (size_t i = 0; i < digits; i++) {
        int d = i < text.size() ? HexDigitValue(static_cast<unsigned char>(text[i])) : -1;
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// The bytes of the digit pairs; 0 when a character is no hexadecimal digit.
int HexBytes(const std::string& digits, std::string* out)
{
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        int high = HexDigitValue(static_cast<unsigned char>(digits[i]));
        int low = HexDigitValue(static_cast<unsigned char>(digits[i + 1]));
        if (high < 0 || low < 0)
            return 0;
        *out += static_cast<char>(high * 16 + low);
    }
    return 1;
}

void Append(std::string& out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; i--)
        out += static_cast<char>(value >> (8 * i));
}

int ValidValue(int type, const std::string& v)
{
    if (type == MIB_INTEGER)
        return v.size() == 4;
    if (type == MIB_STRING)
        return v.size() > 4 && HexNumber(v, 4) == static_cast<long>(v.size() - 4);
    return v.size() > 6 && v.size() % 4 == 0 && HexNumber(v, 4) == static_cast<long>((v.size() - 4) / 4);
}

uint32_t Be(const uint8_t* p, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value = value << 8 | p[i];
    return value;
}

}  // namespace

int MibBuildRequest(const MibInput& input, MibBuild* build)
{
    static const char* const communityNg = "Community Input N.G.";
    static const char* const objectIdNg = "ObjectID Input N.G.";
    static const char* const valueNg = "Value Input N.G.";
    std::string& r = build->request;
    r.assign("\x02\x00\x00", 3);
    build->communitySize.clear();
    build->objectIdSize.clear();
    build->error = nullptr;
    Append(r, static_cast<uint32_t>(input.command), 2);

    std::string community = Stripped(input.community);
    build->communitySize = SizeText(static_cast<unsigned>(community.size()), 8);
    if (community.empty() || community.size() > COMMUNITY_MAX) {
        build->error = communityNg;
        return 0;
    }
    Append(r, static_cast<uint32_t>(community.size()), 4);
    r += community;
    Append(r, 1, 4);

    std::string objectId = Stripped(input.objectId), words;
    if (objectId.empty() || objectId.size() % 4 || objectId.size() / 4 > OBJECT_ID_WORDS_MAX ||
        !HexBytes(objectId, &words)) {
        build->error = objectIdNg;
        return 0;
    }
    build->objectIdSize = SizeText(static_cast<unsigned>(objectId.size() / 4), 4);
    Append(r, static_cast<uint32_t>(objectId.size() / 4), 2);
    r += words;
    if (input.command != MIB_SET)
        return 1;

    std::string value = Stripped(input.value), bytes;
    if (!ValidValue(input.type, value) || (input.type == MIB_OBJECT_ID && !HexBytes(value, &bytes))) {
        build->error = valueNg;
        return 0;
    }
    Append(r, static_cast<uint32_t>(input.type * 2), 4);
    r += input.type == MIB_OBJECT_ID ? bytes : value;
    return 1;
}

std::string MibCycleRequest(int counter)
{
    static const uint16_t words[11] = {0x0004, 0x0001, MIB_ENTERPRISE_NUMBER, 0x0001, 0x0003, 0x0001,
                                       0x0001, 0x0008, 0x0003, 0x0001, 0x0002};
    std::string r("\x02\x00\x00\x00\x01", 5);
    Append(r, 6, 4);
    r += MIB_CYCLE_COMMUNITY;
    Append(r, 1, 4);
    Append(r, 12, 2);
    for (uint16_t w : words)
        Append(r, w, 2);
    Append(r, static_cast<uint32_t>(counter & 0xFF), 2);
    return r;
}

int MibDecode(const uint8_t* a, size_t length, MibAnswer* out)
{
    *out = MibAnswer();
    out->result = MIB_MALFORMED;
    auto take = [&](size_t& at, size_t bytes, std::string* field) {
        if (bytes > length - at)
            return false;
        field->assign(reinterpret_cast<const char*>(a + at), bytes);
        at += bytes;
        return true;
    };
    if (length >= 5 && std::string(reinterpret_cast<const char*>(a), 5) == "ERROR") {
        out->result = MIB_ERROR_ANSWER;
        return out->result;
    }
    size_t at = 0;
    std::string field;
    if (!take(at, 4, &field))
        return out->result;
    uint32_t community = Be(a, 4);
    if (community == 0 || community > COMMUNITY_MAX || community + 4 >= length)
        return out->result;
    out->communityLength = field;
    if (!take(at, community, &out->community) || !take(at, 4, &out->objectPack) || !take(at, 2, &field))
        return out->result;
    uint32_t words = Be(a + at - 2, 2);
    if (words == 0 || words > OBJECT_ID_WORDS_MAX || at + 2 * words >= length)
        return out->result;
    out->objectIdLength = field;
    if (!take(at, 2 * words, &out->objectId) || !take(at, 4, &out->errorStatus))
        return out->result;
    if (a[at - 1] == 2) {
        out->result = MIB_STATUS_2;
        return out->result;
    }
    if (!take(at, 4, &out->dataType) || length - at > VALUE_MAX)
        return out->result;
    take(at, length - at, &out->value);
    out->result = MIB_COMPLETE;
    return out->result;
}

static std::string EachByte(const std::string& bytes, const char* format)
{
    std::string out;
    char token[8];
    for (unsigned char b : bytes) {
        std::snprintf(token, sizeof token, format, b);
        out += token;
    }
    return out;
}

std::string HexText(const std::string& bytes)
{
    return EachByte(bytes, "%02X ");
}

std::string HexTokens(const std::string& bytes)
{
    return EachByte(bytes, "<%02X>");
}

std::string SizeText(unsigned value, int digits)
{
    char number[16];
    std::snprintf(number, sizeof number, digits == 8 ? "%08X" : "%04X", value);
    std::string out;
    for (size_t i = 0; number[i] && number[i + 1]; i += 2)
        out += std::string(number + i, 2) + " ";
    return out;
}

std::string MibValueText(const MibAnswer& answer, int* hexRuler)
{
    unsigned char tag = answer.dataType.size() == 4 ? static_cast<unsigned char>(answer.dataType[3]) : 0;
    *hexRuler = tag == 6;
    if (tag == 6)
        return HexText(answer.value);
    if (tag != 4 || answer.value.size() < 4)
        return answer.value;
    // The length in front of a string is written out whole, however many digits it has.
    char number[16];
    std::snprintf(number, sizeof number, "%04u",
                  static_cast<unsigned>(Be(reinterpret_cast<const uint8_t*>(answer.value.data()), 4)));
    return number + answer.value.substr(4);
}

std::string MibCycleText(const MibAnswer& answer)
{
    unsigned char tag = answer.dataType.size() == 4 ? static_cast<unsigned char>(answer.dataType[3]) : 0;
    if (tag == 4)
        return answer.value.size() > 4 ? answer.value.substr(4) : "";
    return HexTokens(answer.value);
}
