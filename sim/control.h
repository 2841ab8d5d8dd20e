// The control protocol between the device seam and a simulated device. Each device has a
// message-mode pipe beside it; one request is one message, one answer is one message, and
// every number is a 32-bit little-endian word:
//   request: code, in-length, out-length, then in-length bytes
//   answer:  success (1 or 0), system error number, bytes returned, then those bytes
// A device answers with ControlServe; the seam encodes with ControlEncodeRequest and reads
// the answer with ControlDecodeAnswer. Neither end trusts the other's lengths.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/device.h"

const uint32_t kControlMaxData = 65536;  // in-bytes and out-bytes, each
const size_t kControlHeader = 12;
const size_t kControlMaxMessage = kControlHeader + kControlMaxData;
const uint32_t kControlBadRequest = 87;  // ERROR_INVALID_PARAMETER
const uint32_t kControlNoRoom = 122;     // ERROR_INSUFFICIENT_BUFFER

// The request in one message; empty when a length is over the bound.
std::string ControlEncodeRequest(const ControlRequest& r);
// 1 when the message is exactly one well-formed request, else 0.
int ControlDecodeRequest(const char* msg, size_t n, ControlRequest* r);
std::string ControlEncodeAnswer(const ControlAnswer& a);
// 1 when the message is one well-formed answer returning at most outLength bytes, else 0.
int ControlDecodeAnswer(const char* msg, size_t n, uint32_t outLength, ControlAnswer* a);
// The answer message to one request message: the handler's answer (a handler that returns
// more than the caller's buffer holds fails with kControlNoRoom, as a device would), or a
// failure with kControlBadRequest when the message is malformed. A null handler fails
// every request with 1 (ERROR_INVALID_FUNCTION).
std::string ControlServe(ControlHandler handler, void* state, const char* msg, size_t n);

// The simulated USB bus as the seam's enumeration sees it: a device-node tree whose nodes
// may carry a USB printer interface.
struct BusNode {
  uint32_t id = 0;           // 1.. unique on the bus
  uint32_t parent = 0;       // 0: a top node, under the platform's root node
  std::string driverKey;     // the node's driver property
  std::string description;   // the node's device description
  std::string interfacePath; // a USB printer interface's device path, or empty
  uint32_t portNumber = 0;   // that interface's "Port Number"
  std::string portKey;       // the HKEY_CURRENT_USER subkey holding "Port Number"
};

const uint32_t kBusList = 0x54560001;  // control code: the answer is BusEncode of the nodes
const size_t kBusMaxNodes = 256;
const size_t kBusMaxText = 1024;

std::string BusEncode(const std::vector<BusNode>& nodes);  // empty when over a bound
int BusDecode(const char* data, size_t n, std::vector<BusNode>* nodes);  // 1, or 0 when malformed

// Where the simulated devices live: a device named N serves "\\.\pipe\tarvex-sim\N" (and,
// for USB, "N\PIPE00" and "N\PIPE01" below it) and answers control requests on
// "\\.\pipe\tarvex-sim-control\N". The bus is the control pipe of the device "bus".
#define SIM_PIPE_PREFIX "\\\\.\\pipe\\tarvex-sim\\"
#define SIM_CONTROL_PREFIX "\\\\.\\pipe\\tarvex-sim-control\\"
#define SIM_NT_PIPE_PREFIX "\\Device\\NamedPipe\\tarvex-sim\\"
#define SIM_PIPE_NAME "\\tarvex-sim\\"  // below the pipe device
#define SIM_BUS_NAME "bus"
