#include "fuzz.h"

#include "sim/control.h"

static ControlAnswer Echo(void*, const ControlRequest& r) {
  ControlAnswer a;
  a.success = r.code & 1;
  a.error = r.code;
  a.out = r.in;
  return a;
}

// Whatever a client sends, the device answers with one well-formed answer that fits the
// caller's buffer; a request or bus list that decodes encodes back to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* d = (const char*)data;
  ControlRequest r;
  uint32_t outLength = 0;
  if (ControlDecodeRequest(d, size, &r)) {
    if (ControlEncodeRequest(r) != std::string(d, size)) abort();
    outLength = r.outLength;
  }
  std::string answer = ControlServe(Echo, nullptr, d, size);
  ControlAnswer a;
  if (!ControlDecodeAnswer(answer.data(), answer.size(), outLength, &a)) abort();
  std::vector<BusNode> nodes;
  if (BusDecode(d, size, &nodes) && BusEncode(nodes) != std::string(d, size)) abort();
  return 0;
}
