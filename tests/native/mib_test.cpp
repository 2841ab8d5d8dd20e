#include "services/mib_codec.h"
#include "services/mib_cycle.h"
#include "services/mib_filter.h"
#include "services/vendor_request.h"
#include "sim/usb_tree.h"

#include "tests/native/test_util.h"

namespace {

const std::string kCommunity = B({0, 0, 0, 6}) + "qovelt" + B({0, 0, 0, 1});

// The printer's control handle, answered by the simulated printer's vendor side.
struct SimPrinter {
    UsbVendorState state;
    int jobInProgress = 0;
    unsigned char status = 0xEE;
    SimPrinter() { UsbVendorInit(&state); }
    VendorChannel Channel() { return {this, Request, &status}; }
    static int Request(void* context, unsigned long code, const std::string& in, unsigned outLength, std::string* out) {
        SimPrinter& p = *static_cast<SimPrinter*>(context);
        ControlAnswer a;
        if (!UsbVendorAnswer(p.state, {static_cast<uint32_t>(code), in, outLength}, p.jobInProgress, &a))
            return 0;
        *out = a.out;
        return a.success;
    }
};

}  // namespace

TEST(Mib, BuildValidatesAndEncodes) {
    const std::string oid = B({0, 2, 0, 1, 0, 3});
    struct Case {
        int command, type;
        const char *community, *objectId, *value, *error;
        std::string request;  // after 02 00 00 and the command
    } cases[] = {
        {MIB_GET, 1, "qov\r\nelt", "0001 0003", "", nullptr, kCommunity + oid},
        {MIB_GET_NEXT, 1, "qovelt", "0001\r\n0003", "", nullptr, kCommunity + oid},
        {MIB_GET, 1, "\r\n", "0001", "", "Community Input N.G.", ""},
        {MIB_GET, 1, "qovelt", "000103", "", "ObjectID Input N.G.", ""},
        {MIB_GET, 1, "qovelt", "00G1", "", "ObjectID Input N.G.", ""},
        {MIB_SET, MIB_STRING, "qovelt", "0001 0003", "0005HELLO", nullptr, kCommunity + oid + B({0, 0, 0, 4}) + "0005HELLO"},
        {MIB_SET, MIB_STRING, "qovelt", "0001 0003", "0004HELLO", "Value Input N.G.", ""},
        {MIB_SET, MIB_INTEGER, "qovelt", "0001 0003", "42", "Value Input N.G.", ""},
        {MIB_SET, MIB_INTEGER, "qovelt", "0001 0003", "0042", nullptr, kCommunity + oid + B({0, 0, 0, 2}) + "0042"},
        {MIB_SET, MIB_OBJECT_ID, "qovelt", "0001 0003", "00 02 00 01 00 02", nullptr,
         kCommunity + oid + B({0, 0, 0, 6, 0, 2, 0, 1, 0, 2})},
        {MIB_SET, MIB_OBJECT_ID, "qovelt", "0001 0003", "00 03 00 01 00 02", "Value Input N.G.", ""},
        {MIB_SET, MIB_OBJECT_ID, "qovelt", "0001 0003", "00 01 00 0", "Value Input N.G.", ""},
    };
    for (const Case& c : cases) {
        MibBuild build;
        int ok = MibBuildRequest({c.command, c.type, c.community, c.objectId, c.value}, &build);
        EXPECT_EQ(ok, c.error == nullptr) << c.objectId << " " << c.value;
        if (c.error) {
            EXPECT_STREQ(build.error, c.error) << c.objectId << " " << c.value;
            continue;
        }
        EXPECT_EQ(build.request, B({2, 0, 0, 0, c.command}) + c.request) << c.value;
        EXPECT_EQ(build.communitySize, "00 00 00 06 ");
        EXPECT_EQ(build.objectIdSize, "00 02 ");
    }
    MibBuild build;
    EXPECT_EQ(MibBuildRequest({MIB_GET, 1, std::string(257, 'a'), "0001", ""}, &build), 0);
    EXPECT_EQ(build.communitySize, "00 00 01 01 ");
}

TEST(Mib, DecodeOutcomes) {
    const std::string head = B({0, 0, 0, 6}) + "qovelt" + B({0, 0, 0, 1, 0, 2, 0, 1, 0, 3});
    const std::string value = B({0, 0, 0, 5}) + "HELLO";
    // The object id and error status as the hex texts of what was decoded.
    struct Case { std::string answer; int result; const char *objectId, *errorStatus; std::string value; } cases[] = {
        {head + B({0, 0, 0, 0, 0, 0, 0, 4}) + value, MIB_COMPLETE, "00 01 00 03 ", "00 00 00 00 ", value},
        {head + B({0, 0, 0, 0, 0, 0, 0, 2}), MIB_COMPLETE, "00 01 00 03 ", "00 00 00 00 ", ""},
        {head + B({0, 0, 0, 2, 0, 0, 0, 5}), MIB_STATUS_2, "00 01 00 03 ", "00 00 00 02 ", ""},
        {"ERROR: unknown community", MIB_ERROR_ANSWER, "", "", ""},
        {B({0, 0, 0}), MIB_MALFORMED, "", "", ""},
        {B({0, 0, 0, 6}) + "qovelt", MIB_MALFORMED, "", "", ""},  // length + 4 not below the answer's length
        {B({0, 0, 1, 1}) + std::string(300, 'a'), MIB_MALFORMED, "", "", ""},
        {B({0, 0, 0, 0, 1}), MIB_MALFORMED, "", "", ""},
        {head.substr(0, 14) + B({0, 3, 0, 1, 0, 3}), MIB_MALFORMED, "", "", ""},  // words reach the end
        {head.substr(0, 14) + B({0, 0}) + std::string(20, 0), MIB_MALFORMED, "", "", ""},
        {head + B({0, 0, 0}), MIB_MALFORMED, "00 01 00 03 ", "", ""},
        {head + B({0, 0, 0, 0, 0, 0, 0, 4}) + std::string(1501, 'x'), MIB_COMPLETE, "00 01 00 03 ", "00 00 00 00 ",
         std::string(1501, 'x')},
        {head + B({0, 0, 0, 0, 0, 0, 0, 4}) + std::string(1502, 'x'), MIB_MALFORMED, "00 01 00 03 ", "00 00 00 00 ", ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const Case& c = cases[i];
        MibAnswer a;
        MibDecode(U(c.answer), c.answer.size(), &a);
        EXPECT_EQ(a.result, c.result) << i;
        EXPECT_EQ(HexText(a.objectId), c.objectId) << i;
        EXPECT_EQ(HexText(a.errorStatus), c.errorStatus) << i;
        EXPECT_EQ(a.value, c.value) << i;
    }
}

TEST(Mib, ValueTextsAndRulers) {
    struct Case { int tag; std::string value; const char* shown; int hexRuler; const char* logged; } cases[] = {
        {4, B({0, 0, 0, 5}) + "HELLO", "0005HELLO", 0, "HELLO"},
        {4, B({0, 1, 0x86, 0xA0}) + "x", "100000x", 0, "x"},  // more than four digits is written whole
        {4, B({0xFF, 0xFF, 0xFF, 0xFF}), "4294967295", 0, ""},
        {4, "ab", "ab", 0, ""},
        {2, "0042", "0042", 0, "<30><30><34><32>"},
        {6, B({0, 2, 0, 1}), "00 02 00 01 ", 1, "<00><02><00><01>"},
    };
    for (const Case& c : cases) {
        MibAnswer a;
        a.dataType = B({0, 0, 0, c.tag});
        a.value = c.value;
        int hex = -1;
        EXPECT_EQ(MibValueText(a, &hex), c.shown);
        EXPECT_EQ(hex, c.hexRuler);
        EXPECT_EQ(MibCycleText(a), c.logged);
    }
    for (auto size : {std::make_pair("100", 255u), {"5000", 255u}, {"4096", 4096u}, {"abc", 255u}, {"300x", 300u}})
        EXPECT_EQ(MibReceiveSize(size.first), size.second) << size.first;
}

TEST(Mib, FiltersLayoutsAndCaret) {
    struct Case {
        int field;
        std::string text;
        size_t caret;
        int accepted;
        std::string laidOut;  // and the caret in it
        size_t newCaret;
    } cases[] = {
        {MIB_FIELD_COMMUNITY, "qov elt", 4, 0, "", 0},
        {MIB_FIELD_COMMUNITY, std::string(50, 'a') + "b", 51, 1, std::string(50, 'a') + "\r\nb", 53},
        {MIB_FIELD_COMMUNITY, "x" + std::string(50, 'a') + "\r\nb", 1, 1, "x" + std::string(49, 'a') + "\r\nab", 1},
        {MIB_FIELD_INTEGER, "0042", 4, 1, "0042", 4},
        {MIB_FIELD_INTEGER, "00a", 3, 0, "", 0},
        {MIB_FIELD_OBJECT_ID, "0001000", 7, 1, "00 01 00 0", 10},
        {MIB_FIELD_OBJECT_ID, "00E 01", 3, 1, "00 E0 1", 4},
        {MIB_FIELD_OBJECT_ID, "00e1", 3, 0, "", 0},
        {MIB_FIELD_OBJECT_ID, std::string(34, '1'), 34,
         1, "11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11\r\n11", 51},
        {MIB_FIELD_OID_VALUE, "0002 0001 0002", 14, 1, "00 02 00 01 00 02", 17},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const Case& c = cases[i];
        std::string laidOut;
        size_t caret = 0;
        EXPECT_EQ(MibFilter(c.field, c.text, c.caret, &laidOut, &caret), c.accepted) << i;
        if (c.accepted) {
            EXPECT_EQ(laidOut, c.laidOut) << i;
            EXPECT_EQ(caret, c.newCaret) << i;
        }
    }
    // 256 characters fill the community's 266 with their line breaks; the 257th is refused.
    std::string laidOut;
    size_t caret;
    EXPECT_EQ(MibFilter(MIB_FIELD_COMMUNITY, std::string(256, 'q'), 256, &laidOut, &caret), 1);
    EXPECT_EQ(laidOut.size(), 266u);
    EXPECT_EQ(MibFilter(MIB_FIELD_COMMUNITY, laidOut + "q", 267, &laidOut, &caret), 0);
}

TEST(Mib, CycleCounterRunsAndFallsBack) {
    SimPrinter p;
    int counter = 1;
    MibCycleResult result;
    for (int n = 1; n <= 256; n++) {
        ASSERT_EQ(MibCycle(p.Channel(), &counter, &result), 1);
        ASSERT_EQ(result.logged, 1);
        EXPECT_EQ(result.value, "Velmora tray " + std::to_string(n > 255 ? 1 : n) + " ready");
    }
    EXPECT_EQ(counter, 2);
    p.state.malformedAnswers = 1;
    EXPECT_EQ(MibCycle(p.Channel(), &counter, &result), 1);
    EXPECT_EQ(result.logged, 0);
    EXPECT_EQ(counter, 1);
    p.state.failWith = 31;
    counter = 7;
    EXPECT_EQ(MibCycle(p.Channel(), &counter, &result), 0);
    EXPECT_EQ(result.errors, (std::vector<std::string>{"Error:Time out."}));
    EXPECT_EQ(counter, 1);
}

TEST(Vendor, RequestsReadOnlyWhatThePrinterReturned) {
    SimPrinter p;
    EXPECT_EQ(VendorSetOffset(p.Channel(), 200), 0);
    EXPECT_EQ(p.state.offset, 200);
    EXPECT_EQ(p.status, 0);
    int busy = -1;
    for (int inProgress : {1, 0}) {
        p.jobInProgress = inProgress;
        EXPECT_EQ(VendorJobEnd(p.Channel(), &busy), 0);
        EXPECT_EQ(busy, inProgress);
    }
    // Answers with no bytes: the status byte keeps its value, and a job state never read is a failure.
    p.state.shortAnswers = 1;
    p.status = 0x42;
    p.jobInProgress = 1;
    EXPECT_EQ(VendorSetOffset(p.Channel(), 1), 0);
    EXPECT_EQ(VendorJobEnd(p.Channel(), &busy), VENDOR_FAILED);
    EXPECT_EQ(busy, 0);
    std::string answer = "stale";
    EXPECT_EQ(VendorMibGet(p.Channel(), 255, &answer), 0);
    EXPECT_EQ(answer, "");
    EXPECT_EQ(p.status, 0x42);
    p.state.failWith = 31;
    EXPECT_EQ(VendorSetOffset(p.Channel(), 1), VENDOR_FAILED);
}

TEST(Vendor, OffsetTextsAndErrorLines) {
    struct Case { const char* text; int accepted, offset; } cases[] = {{"0", 0, 0},   {"256", 0, 0}, {"1000", 0, 0}, {"", 0, 0},   {"-1", 0, 0},
                 {"1", 1, 1},   {"255", 1, 255}, {"12a", 1, 12}, {"007", 1, 7}};
    for (const Case& c : cases) {
        int offset = 0;
        EXPECT_EQ(OffsetFromText(c.text, &offset), c.accepted) << c.text;
        EXPECT_EQ(offset, c.offset) << c.text;
    }
}
