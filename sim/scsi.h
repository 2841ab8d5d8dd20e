// The SCSI port interface of the simulated IEEE1394 printer: inquiry data, adapter
// capabilities and the pass-through requests, answered as a 64-bit Windows port
// driver answers them. A pass-through request carries the platform's record with the
// sense and data areas behind it in the same buffer; a direct request's data buffer
// lives in the caller's process, so its bytes travel after the record: the data to
// write after the input record, the data read after the output record.
//
// Served behind "LPT2" with the device host (sim/device_host.h):
//   ScsiDevice scsi;
//   SimDeviceSetup s;
//   s.name = "ieee1394";
//   s.dosName = "LPT2";
//   s.control = ScsiControl;
//   s.controlState = &scsi;
//   SimDevice* d = SimDeviceStart(s);
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "sim/device.h"

const uint32_t SCSI_CODE_INQUIRY_DATA = 0x0004100C, SCSI_CODE_CAPABILITIES = 0x00041010,
               SCSI_CODE_PASS_THROUGH = 0x0004D004, SCSI_CODE_PASS_THROUGH_DIRECT = 0x0004D014;

// The pass-through records of a 64-bit program (both kinds alike up to the data field).
const size_t SPT_LENGTH = 0, SPT_STATUS = 2, SPT_PATH = 3, SPT_TARGET = 4, SPT_LUN = 5, SPT_CDB_LENGTH = 6,
             SPT_SENSE_LENGTH = 7, SPT_DATA_IN = 8, SPT_TRANSFER_LENGTH = 12, SPT_TIMEOUT = 16,
             SPT_DATA = 24,  // the data offset, or for a direct request the data pointer
             SPT_SENSE_OFFSET = 32, SPT_CDB = 36, SPT_SIZE = 56;

struct ScsiDevice {
  std::string inquiry;                 // the whole inquiry answer, bus info and records
  uint32_t alignmentMask = 3;
  std::map<uint32_t, uint32_t> refuse; // request code -> system error it fails with
  int checkCondition = 0;              // pass-through commands end in CHECK CONDITION
  std::string sense;                   // sense data sent with CHECK CONDITION
  std::string buffer;                  // what WRITE BUFFER stored, READ BUFFER gives back
  ScsiDevice();
};

// One bus with one printer record (target 1, LUN 0, claimed), as the port driver lists it.
std::string ScsiInquiryAnswer(const std::string& vendor, const std::string& product, const std::string& revision);

ControlAnswer ScsiControl(void* device, const ControlRequest& request);
