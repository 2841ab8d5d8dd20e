// A device-control request as the platform's call carries it, and the answer that call
// would give. Each simulated device kind answers requests with a pure function of its own
// state, so the same answers serve the tests natively and every transport.
#pragma once
#include <cstdint>
#include <string>

struct ControlRequest {
  uint32_t code = 0;
  std::string in;
  uint32_t outLength = 0;  // what the caller's output buffer holds
};

struct ControlAnswer {
  int success = 0;
  uint32_t error = 0;      // the system error number when success is 0
  std::string out;         // never longer than the request's outLength
};

typedef ControlAnswer (*ControlHandler)(void* state, const ControlRequest& request);

inline ControlAnswer ControlFailure(uint32_t error) {
  ControlAnswer a;
  a.error = error;
  return a;
}
