#include "services/scsi_report.h"
#include "sim/scsi.h"

#include "tests/native/test_util.h"

#include <cstring>

namespace {

void Put32(std::string& s, size_t at, uint32_t v) { memcpy(&s[at], &v, 4); }

std::string Record(int target, int lun, int claimed, uint32_t next, const std::string& data) {
    std::string r(12, '\0');
    r[1] = char(target);
    r[2] = char(lun);
    r[3] = char(claimed);
    Put32(r, 4, uint32_t(data.size()));
    Put32(r, 8, next);
    return r + data;
}

ReportLines Inquiry(const std::string& answer) {
    ReportLines lines;
    InquiryReport(lines, U(answer), answer.size());
    return lines;
}

TEST(ScsiHexDump, SixteenBytesALineWithTheOffsetAndABlankAfterEachEight) {
    std::string bytes(272, '\0');
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = char(i);
    ReportLines lines;
    HexDump(lines, U(bytes), bytes.size());
    ASSERT_EQ(2u + 17u + 1u, lines.size());
    EXPECT_EQ(" 000  00  01  02  03  04  05  06  07   08  09  0A  0B  0C  0D  0E  0F   ", lines[2]);
    EXPECT_EQ(" 100  00  01  02  03  04  05  06  07   08  09  0A  0B  0C  0D  0E  0F   ", lines[18]);
    EXPECT_EQ("  ", lines[19]);
    lines.clear();
    HexDump(lines, U("NNNNNNNNNT"), 10);
    EXPECT_EQ((ReportLines{lines[0], lines[1], " 000  4E  4E  4E  4E  4E  4E  4E  4E   4E  54  ", "  "}), lines);
}

// Two buses: bus 0 with a chain of two records, bus 1 with one; a name cut by NUL. Counts
// and offsets that lie cannot lead the walk outside the answer or round in circles.
TEST(ScsiInquiryReport, ListsEachRecordOfEachBusAndEndsInsideHostileAnswers) {
    std::string answer = ScsiInquiryAnswer("TARVEX", "1394 SIM PRINTER", "1.00");
    std::string data = answer.substr(24);
    std::string twoBuses(20, '\0');
    twoBuses[0] = 2;
    Put32(twoBuses, 8, 20);
    Put32(twoBuses, 16, 20 + 2 * 48);
    twoBuses += Record(1, 0, 1, 20 + 48, data) + Record(2, 5, 0, 0, data.substr(0, 12) + '\0' + data.substr(13)) +
                Record(3, 1, 1, 0, data);
    ReportLines lines = Inquiry(twoBuses);
    ASSERT_EQ(3u + 6u + 1u, lines.size());
    EXPECT_EQ("Num TID LUN Claimed String                       Inquiry Header ", lines[1]);
    EXPECT_EQ(" 0   2    5    N    TARV 02 00 05 02 1F 00 00 00 ", lines[5]);
    EXPECT_EQ(" 1   3    1    Y    TARVEX  1394 SIM PRINTER1.00 02 00 05 02 1F 00 00 00 ", lines[7]);
    std::string good = ScsiInquiryAnswer("TARVEX", "P", "1");
    std::string selfChain = good;
    Put32(selfChain, 12 + 8, 12);
    std::string loop = good + good.substr(12);
    Put32(loop, 12 + 8, uint32_t(good.size()));
    Put32(loop, good.size() + 8, 12);
    std::string manyBuses = good.substr(0, 12);
    manyBuses[0] = char(255);
    std::string pastEnd = good;
    Put32(pastEnd, 8, 5000);
    std::string straddling = good.substr(0, 30);  // header whole, inquiry bytes cut
    Put32(straddling, 12 + 4, 0xFFFFFFFF);
    struct Case {
        const char* name;
        std::string answer;
        size_t records;
    } cases[] = {{"self chain", selfChain, 1}, {"two-record loop", loop, 2}, {"bus count beyond data", manyBuses, 0},
                 {"offset past end", pastEnd, 0}, {"record cut short", straddling, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(3 + 2 * c.records + 1, Inquiry(c.answer).size()) << c.name;
    EXPECT_EQ(" 0   1    0    Y     02 00 05 02 1F 00 ", Inquiry(straddling)[3]);
}

// Status 0 and its dump are compared line for line in the Win32 SCSI test.
TEST(ScsiStatusReport, OtherStatusShowsTheSenseClampedToItsArea) {
    unsigned char sense[SENSE_AREA_SIZE + 8];
    for (size_t i = 0; i < sizeof sense; i++) sense[i] = (unsigned char)(0xA0 + i);
    ReportLines lines;
    StatusReport(lines, {2, 255, 0, 0, sense}, NULL, 0);
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(SENSE_AREA_SIZE * 3, lines[3].size());
    EXPECT_EQ("A0 A1 A2 ", lines[3].substr(0, 9));
}

TEST(ScsiAlignment, OnlyMasksOfTheForm2PowNMinus1UpToAPageAreUsed) {
    const uint32_t cases[][2] = {{0, 0},          {1, 1},   {3, 3}, {511, 511}, {4095, 4095}, {8191, 0},
                                 {0xFFFFFFFF, 0}, {2, 0},   {5, 0}, {0x80000000, 0}};
    for (const auto& c : cases) EXPECT_EQ(c[1], UsableAlignmentMask(c[0])) << c[0];
}

}  // namespace
