#pragma once
// The binary MIB request a USB printer takes through the vendor set request, the
// answer it gives through the vendor get request, and the texts both are shown in.

#include <cstddef>
#include <cstdint>
#include <string>

enum MibCommand { MIB_GET = 1, MIB_GET_NEXT = 2, MIB_SET = 3 };
enum MibType { MIB_INTEGER = 1, MIB_STRING = 2, MIB_OBJECT_ID = 3 };

// What the dialog holds, as typed (line breaks and blanks of the layout included).
struct MibInput {
    int command;
    int type;
    std::string community;
    std::string objectId;
    std::string value;
};

struct MibBuild {
    std::string request;        // 02 00 00, then the encoded request
    std::string communitySize;  // size texts for the dialog; empty until known
    std::string objectIdSize;
    const char* error;          // the message box text when the input is refused, else null
};

// 1 when the request is complete, 0 with the error text.
int MibBuildRequest(const MibInput& input, MibBuild* build);
// The automatic cycle's GET, its last object id word ending in the counter.
std::string MibCycleRequest(int counter);
const uint16_t MIB_ENTERPRISE_NUMBER = 0x1A7D;
const char* const MIB_CYCLE_COMMUNITY = "qovelt";

enum MibResult { MIB_COMPLETE, MIB_ERROR_ANSWER, MIB_MALFORMED, MIB_STATUS_2 };

// The fields of an answer; each is empty until decoding reached it.
struct MibAnswer {
    int result;
    std::string communityLength, community, objectPack, objectIdLength, objectId, errorStatus, dataType, value;
};

int MibDecode(const uint8_t* answer, size_t length, MibAnswer* out);

std::string HexText(const std::string& bytes);    // "00 0C "
std::string HexTokens(const std::string& bytes);  // "<00><0C>"
std::string SizeText(unsigned value, int digits); // "%08X" or "%04X" cut into pairs: "00 00 00 06 "

// The value as the dialog shows it, and whether the hex ruler belongs to it.
std::string MibValueText(const MibAnswer& answer, int* hexRuler);
// The value as the automatic cycle logs it.
std::string MibCycleText(const MibAnswer& answer);
