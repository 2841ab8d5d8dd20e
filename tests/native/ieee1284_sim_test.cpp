#include "sim/parallel.h"

#include <gtest/gtest.h>

#include <string>

static std::string Word(uint32_t n) { return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; }

static ControlAnswer Ask(ParallelDevice& d, uint32_t code, const std::string& in, uint32_t outLength = 0) {
  ControlRequest r;
  r.code = code;
  r.in = in;
  r.outLength = outLength;
  return ParallelControl(&d, r);
}

TEST(Ieee1284SimDevice, ModeRequestsAndRefusals) {
  ParallelDevice d;
  ParallelReset(&d);
  EXPECT_TRUE(Ask(d, PARALLEL_SET_MODE, Word(3)).success);
  EXPECT_EQ(d.mode, 3u);
  d.refuseEcp = 1;
  ControlAnswer a = Ask(d, PARALLEL_SET_MODE, Word(3));
  EXPECT_FALSE(a.success);
  EXPECT_EQ(a.error, 50u);
  EXPECT_TRUE(Ask(d, PARALLEL_SET_MODE, Word(2)).success);
  EXPECT_EQ(d.mode, 2u);
  d.refuseComp = 1;
  EXPECT_FALSE(Ask(d, PARALLEL_SET_MODE, Word(2)).success);
  EXPECT_EQ(Ask(d, PARALLEL_SET_MODE, Word(1)).error, 87u);
  EXPECT_EQ(Ask(d, PARALLEL_SET_MODE, "\3").error, 87u);
  EXPECT_EQ(Ask(d, 0x00220000, "").error, 1u);
}

TEST(Ieee1284SimDevice, BlockLengthTakesItsFirstWord) {
  ParallelDevice d;
  ParallelReset(&d);
  EXPECT_TRUE(Ask(d, PARALLEL_SET_BLOCK_LENGTH, Word(1024) + std::string(28, '\0')).success);
  EXPECT_EQ(d.blockLength, 1024u);
  EXPECT_EQ(Ask(d, PARALLEL_SET_BLOCK_LENGTH, Word(1024)).error, 87u);
}

TEST(Ieee1284SimDevice, DeviceIdSizeThenText) {
  ParallelDevice d;
  ParallelReset(&d);
  EXPECT_NE(d.deviceId.find("MFG:"), std::string::npos);
  EXPECT_NE(d.deviceId.find("CLS:"), std::string::npos);
  d.deviceId = "MDL:X1";
  ControlAnswer size = Ask(d, PARALLEL_QUERY_ID_SIZE, "", 4);
  ASSERT_TRUE(size.success);
  EXPECT_EQ(size.out, Word(6));
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID_SIZE, "", 2).error, 122u);
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID, Word(6), 6).out, "MDL:X1");
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID, Word(6), 5).error, 122u);
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID, Word(7), 7).error, 87u);
  d.reportedIdSize = 1u << 20;
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID_SIZE, "", 4).out, Word(1u << 20));
  d.idError = 31;
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID_SIZE, "", 4).error, 31u);
  EXPECT_EQ(Ask(d, PARALLEL_QUERY_ID, Word(6), 6).error, 31u);
}
