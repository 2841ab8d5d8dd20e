#include "tests/native/test_util.h"

#include "sim/control.h"

namespace {

std::string Word(uint32_t v) { return std::string((const char*)&v, 4); }  // little-endian build machines

std::string Message(uint32_t a, uint32_t b, uint32_t c, const std::string& rest) {
  return Word(a) + Word(b) + Word(c) + rest;
}

TEST(ControlProtocol, RequestEncodingAndBounds) {
  ControlRequest r;
  r.code = 0x220038;
  r.in = std::string("\0\1\xFF", 3);
  r.outLength = 1024;
  EXPECT_EQ(ControlEncodeRequest(r), Message(0x220038, 3, 1024, r.in));

  struct {
    std::string message;
    int ok;
  } cases[] = {
      {Message(1, 0, kControlMaxData, ""), 1},
      {Message(1, 0, kControlMaxData + 1, ""), 0},  // out-length over the bound
      {Message(1, 4, 0, "abc"), 0},                 // in-length past the message
      {Message(1, 2, 0, "abc"), 0},                 // bytes after the in-bytes
      {Message(1, 0xFFFFFFFF, 0, "abc"), 0},
      {Message(1, kControlMaxData, 0, std::string(kControlMaxData, 'x')), 1},
      {Message(1, kControlMaxData + 1, 0, std::string(kControlMaxData + 1, 'x')), 0},
      {std::string(11, '\0'), 0},
  };
  for (auto& c : cases) {
    ControlRequest out;
    EXPECT_EQ(ControlDecodeRequest(c.message.data(), c.message.size(), &out), c.ok) << c.message.size();
  }
  r.in.assign(kControlMaxData + 1, 'x');
  EXPECT_EQ(ControlEncodeRequest(r), "");
}

TEST(ControlProtocol, AnswerDecodingTrustsNoLength) {
  struct {
    std::string message;
    uint32_t outLength;
    int ok;
  } cases[] = {
      {Message(1, 0, 2, "hi"), 2, 1},
      {Message(1, 0, 2, "hi"), 1, 0},   // more than the caller's buffer
      {Message(1, 0, 3, "hi"), 8, 0},   // count and bytes disagree
      {Message(2, 0, 0, ""), 8, 0},     // success is 1 or 0
      {Message(0, 170, 0, ""), 0, 1},
      {std::string(5, '\1'), 8, 0},
  };
  for (auto& c : cases) {
    ControlAnswer a;
    EXPECT_EQ(ControlDecodeAnswer(c.message.data(), c.message.size(), c.outLength, &a), c.ok) << c.message.size();
  }
  ControlAnswer a;
  std::string m = Message(0, 170, 0, "");
  ASSERT_TRUE(ControlDecodeAnswer(m.data(), m.size(), 8, &a));
  EXPECT_EQ(a.success, 0);
  EXPECT_EQ(a.error, 170u);
}

}  // namespace
