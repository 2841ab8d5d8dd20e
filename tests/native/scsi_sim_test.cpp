#include "sim/scsi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const size_t kSense = SPT_SIZE, kData = SPT_SIZE + 32;

// A pass-through record as a 64-bit program lays it out, with its sense and data areas.
std::string Request(const std::string& cdb, int senseLength, int dataIn, uint32_t transfer, uint64_t dataField,
                    uint16_t length = SPT_SIZE) {
    std::string r(kData, '\0');
    memcpy(&r[SPT_LENGTH], &length, 2);
    r[SPT_TARGET] = 1;
    r[SPT_CDB_LENGTH] = char(cdb.size());
    r[SPT_SENSE_LENGTH] = char(senseLength);
    r[SPT_DATA_IN] = char(dataIn);
    memcpy(&r[SPT_TRANSFER_LENGTH], &transfer, 4);
    memcpy(&r[SPT_DATA], &dataField, 8);
    uint32_t senseOffset = kSense;
    memcpy(&r[SPT_SENSE_OFFSET], &senseOffset, 4);
    memcpy(&r[SPT_CDB], cdb.data(), cdb.size());
    return r;
}

ControlAnswer Send(ScsiDevice& d, uint32_t code, const std::string& in, uint32_t outLength) {
    ControlRequest r;
    r.code = code;
    r.in = in;
    r.outLength = outLength;
    return ScsiControl(&d, r);
}

uint32_t Transfer(const std::string& out) {
    uint32_t v;
    memcpy(&v, out.data() + SPT_TRANSFER_LENGTH, 4);
    return v;
}

const std::string kModeSenseAll("\x1A\x00\x3F\x00\xC0\x00", 6), kModeSenseCaching("\x1A\x08\x08\x00\xC0\x00", 6),
    kTestUnitReady(6, '\0');

TEST(ScsiSim, PassThroughAnswersAsAPortDriverChecksTheRecord) {
    struct Case {
        const char* name;
        std::string in;
        uint32_t outLength;
        int success;
        uint32_t error, transfer;
        size_t outSize;
    } cases[] = {
        {"mode sense, all pages", Request(kModeSenseAll, 24, 1, 192, kData), kData + 192, 1, 0, 36, kData + 36},
        {"test unit ready", Request(kTestUnitReady, 24, 1, 0, kData), kData, 1, 0, 0, SPT_SIZE},
        {"data offset inside the record", Request(kModeSenseAll, 0, 1, 192, 0), kData + 192, 0, 87, 0, 0},
        {"data beyond the buffer", Request(kModeSenseAll, 0, 1, 192, kData), kData + 100, 0, 87, 0, 0},
        {"caching page", Request(kModeSenseCaching, 24, 1, 192, kData), kData + 192, 1, 0, 24, kData + 24},
        {"32-bit record", Request(kModeSenseAll, 24, 1, 192, kData, 44), kData + 192, 0, 87, 0, 0},
    };
    for (const Case& c : cases) {
        ScsiDevice d;
        ControlAnswer a = Send(d, SCSI_CODE_PASS_THROUGH, c.in, c.outLength);
        EXPECT_EQ(c.success, a.success) << c.name;
        EXPECT_EQ(c.error, a.error) << c.name;
        EXPECT_EQ(c.outSize, a.out.size()) << c.name;
        if (!a.success) continue;
        EXPECT_EQ(0, a.out[SPT_STATUS]) << c.name;
        EXPECT_EQ(0, a.out[SPT_SENSE_LENGTH]) << c.name;
        EXPECT_EQ(c.transfer, Transfer(a.out)) << c.name;
    }
}

TEST(ScsiSim, DirectWriteBufferIsReadBackAndCheckConditionCarriesSense) {
    ScsiDevice d;
    std::string data = std::string(256, 'N') + std::string(256, 'T');
    const std::string writeCdb("\x3B\x02\x00\x00\x00\x00\x00\x02\x00\x00", 10);
    const std::string readCdb("\x3C\x02\x00\x00\x00\x00\x00\x02\x00\x00", 10);
    ControlAnswer w = Send(d, SCSI_CODE_PASS_THROUGH_DIRECT, Request(writeCdb, 24, 0, 512, 0x1000) + data, kData);
    ASSERT_EQ(1, w.success);
    EXPECT_EQ(kData, w.out.size());
    EXPECT_EQ(512u, Transfer(w.out));
    ControlAnswer r = Send(d, SCSI_CODE_PASS_THROUGH_DIRECT, Request(readCdb, 24, 1, 512, 0x1000), kData);
    ASSERT_EQ(1, r.success);
    EXPECT_EQ(data, r.out.substr(kData));

    d.checkCondition = 1;
    r = Send(d, SCSI_CODE_PASS_THROUGH_DIRECT, Request(readCdb, 24, 1, 512, 0x1000), kData);
    ASSERT_EQ(1, r.success);
    EXPECT_EQ(2, r.out[SPT_STATUS]);
    EXPECT_EQ(18, r.out[SPT_SENSE_LENGTH]);
    EXPECT_EQ(d.sense, r.out.substr(kSense, 18));
    EXPECT_EQ(kData, r.out.size());

    d.refuse[SCSI_CODE_CAPABILITIES] = 31;
    EXPECT_EQ(31u, Send(d, SCSI_CODE_CAPABILITIES, "", 24).error);
    d.refuse.clear();
    ControlAnswer caps = Send(d, SCSI_CODE_CAPABILITIES, "", 24);
    ASSERT_EQ(24u, caps.out.size());
    EXPECT_EQ(3, caps.out[16]);
}

}  // namespace
