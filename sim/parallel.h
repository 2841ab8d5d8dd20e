// The simulated printer's parallel port as the Kelvane driver presents it: the transfer
// mode, block length and device ID requests. Tests set what the device refuses.
#pragma once
#include <cstdint>
#include <string>
#include "sim/device.h"

const uint32_t PARALLEL_SET_MODE = 0x00162088;          // in: 32-bit mode, 3 ECP, 2 compatibility
const uint32_t PARALLEL_SET_BLOCK_LENGTH = 0x00162098;  // in: 32 bytes, the first word the length
const uint32_t PARALLEL_QUERY_ID_SIZE = 0x00160010;     // out: 32-bit size of the device ID
const uint32_t PARALLEL_QUERY_ID = 0x0016000C;          // in: that size; out: that many bytes

struct ParallelDevice {
  std::string deviceId;        // the ID text, without a length prefix
  uint32_t reportedIdSize = 0; // when not 0, the size the device claims instead of the text's
  int refuseEcp = 0, refuseComp = 0;
  uint32_t refusal = 50;       // error number of a refused mode (ERROR_NOT_SUPPORTED)
  uint32_t idError = 0;        // when not 0, both ID requests fail with it
  uint32_t blockLengthError = 0;
  uint32_t mode = 0;           // the mode last set; 0 none
  uint32_t blockLength = 0;
};

void ParallelReset(ParallelDevice* device);  // the default ID, nothing refused, nothing set
ControlAnswer ParallelControl(void* device, const ControlRequest& request);
