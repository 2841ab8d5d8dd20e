#include "sim/scsi.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t ERROR_INVALID_FUNCTION_ = 1, ERROR_INVALID_PARAMETER_ = 87, ERROR_INSUFFICIENT_BUFFER_ = 122;
const unsigned char STATUS_CHECK_CONDITION = 0x02;

uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v;
  memcpy(&v, s.data() + at, 4);
  return v;
}

void Put32(std::string& s, size_t at, uint32_t v) { memcpy(&s[at], &v, 4); }

// A caching page and a control page behind a 6-byte mode parameter header.
std::string ModePages(unsigned page) {
  std::string caching("\x08\x12\x04\x00\xFF\xFF\x00\x00\xFF\xFF\xFF\xFF\x80\x03\x00\x00\x00\x00\x00\x00", 20);
  std::string control("\x0A\x0A\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12);
  std::string pages = page == 0x08 ? caching : page == 0x0A ? control : page == 0x3F ? caching + control : "";
  return std::string(1, char(pages.size() + 3)) + std::string(3, '\0') + pages;
}

// What a command reads (data in), or 0 with the bytes written taken (data out).
// Returns 0 when the command is not one this printer knows.
int RunCommand(ScsiDevice& d, const unsigned char* cdb, std::string& dataOut, std::string& dataIn) {
  switch (cdb[0]) {
    case 0x00: return 1;  // TEST UNIT READY
    case 0x1A: dataIn = ModePages(cdb[2] & 0x3F).substr(0, cdb[4]); return 1;
    case 0x3B: d.buffer = dataOut.substr(0, cdb[6] << 16 | cdb[7] << 8 | cdb[8]); return 1;
    case 0x3C: dataIn = d.buffer.substr(0, cdb[6] << 16 | cdb[7] << 8 | cdb[8]); return 1;
  }
  return 0;
}

// Runs the command of `record` (SPT_SIZE bytes, already checked) and fills in its status,
// sense length and transfer length; `data` holds the bytes to write and gets those read.
void PassThrough(ScsiDevice& d, std::string& record, std::string& sense, std::string& data) {
  const unsigned char* cdb = reinterpret_cast<const unsigned char*>(record.data()) + SPT_CDB;
  uint32_t transfer = Get32(record, SPT_TRANSFER_LENGTH);
  int dataIn = record[SPT_DATA_IN] == 1;
  std::string read;
  int known = RunCommand(d, cdb, data, read);
  sense.clear();
  if (d.checkCondition || !known) {
    record[SPT_STATUS] = STATUS_CHECK_CONDITION;
    sense = known ? d.sense : std::string("\x70\x00\x05\x00\x00\x00\x00\x0A\x00\x00\x00\x00\x20\x00", 14);
    read.clear();
  }
  sense = sense.substr(0, (unsigned char)record[SPT_SENSE_LENGTH]);
  record[SPT_SENSE_LENGTH] = char(sense.size());
  data = dataIn ? read.substr(0, transfer) : std::string();
  if (dataIn || record[SPT_STATUS]) Put32(record, SPT_TRANSFER_LENGTH, uint32_t(data.size()));
}

int HeaderUsable(const std::string& in, uint32_t outLength) {
  if (in.size() < SPT_SIZE || outLength < SPT_SIZE) return 0;
  unsigned short length;
  memcpy(&length, in.data() + SPT_LENGTH, 2);
  return length == SPT_SIZE && (unsigned char)in[SPT_CDB_LENGTH] <= 16;
}

// The data and sense areas must lie behind the record and inside the caller's buffer.
int AreaFits(uint64_t offset, uint64_t length, uint64_t bufferLength) {
  return length == 0 || (offset >= SPT_SIZE && offset + length <= bufferLength);
}

ControlAnswer BufferedPassThrough(ScsiDevice& d, const ControlRequest& r) {
  if (!HeaderUsable(r.in, r.outLength)) return ControlFailure(ERROR_INVALID_PARAMETER_);
  std::string record = r.in.substr(0, SPT_SIZE);
  uint64_t dataOffset;
  memcpy(&dataOffset, record.data() + SPT_DATA, 8);
  uint32_t transfer = Get32(record, SPT_TRANSFER_LENGTH), senseOffset = Get32(record, SPT_SENSE_OFFSET);
  uint64_t span = std::max<uint64_t>(r.in.size(), r.outLength);
  if (!AreaFits(dataOffset, transfer, span) || !AreaFits(senseOffset, (unsigned char)record[SPT_SENSE_LENGTH], span))
    return ControlFailure(ERROR_INVALID_PARAMETER_);
  std::string data = dataOffset < r.in.size() ? r.in.substr(dataOffset, transfer) : std::string(), sense;
  PassThrough(d, record, sense, data);
  std::string out = record;
  size_t end = std::max(sense.empty() ? 0 : senseOffset + sense.size(), data.empty() ? 0 : dataOffset + data.size());
  out.resize(std::max(out.size(), end));
  out.replace(senseOffset, sense.size(), sense);
  if (!data.empty()) out.replace(dataOffset, data.size(), data);
  ControlAnswer a;
  a.success = 1;
  a.out = out.substr(0, r.outLength);
  return a;
}

// The caller's output length is the block's; what follows it in the input is the data to
// write, what follows it in the answer the data read.
ControlAnswer DirectPassThrough(ScsiDevice& d, const ControlRequest& r) {
  size_t blockLength = std::min<size_t>(r.outLength, r.in.size());
  if (!HeaderUsable(r.in, blockLength)) return ControlFailure(ERROR_INVALID_PARAMETER_);
  std::string record = r.in.substr(0, SPT_SIZE);
  uint32_t senseOffset = Get32(record, SPT_SENSE_OFFSET);
  if (!AreaFits(senseOffset, (unsigned char)record[SPT_SENSE_LENGTH], blockLength))
    return ControlFailure(ERROR_INVALID_PARAMETER_);
  std::string data = r.in.substr(blockLength, Get32(record, SPT_TRANSFER_LENGTH)), sense;
  PassThrough(d, record, sense, data);
  std::string out = r.in.substr(0, blockLength);
  out.replace(0, SPT_SIZE, record);
  out.replace(senseOffset, sense.size(), sense);
  ControlAnswer a;
  a.success = 1;
  a.out = out + data;
  return a;
}

ControlAnswer Capabilities(const ScsiDevice& d, uint32_t outLength) {
  std::string caps(24, '\0');
  Put32(caps, 0, 24);
  Put32(caps, 4, 0x10000);  // maximum transfer length
  Put32(caps, 8, 17);       // maximum physical pages
  Put32(caps, 16, d.alignmentMask);
  if (outLength < caps.size()) return ControlFailure(ERROR_INSUFFICIENT_BUFFER_);
  ControlAnswer a;
  a.success = 1;
  a.out = caps;
  return a;
}

}  // namespace

ScsiDevice::ScsiDevice()
    : inquiry(ScsiInquiryAnswer("TARVEX", "1394 SIM PRINTER", "1.00")),
      sense("\x70\x00\x02\x00\x00\x00\x00\x0A\x00\x00\x00\x00\x04\x03\x00\x00\x00\x00", 18) {}

std::string ScsiInquiryAnswer(const std::string& vendor, const std::string& product, const std::string& revision) {
  std::string data = std::string("\x02\x00\x05\x02\x1F\x00\x00\x00", 8) + (vendor + std::string(8, ' ')).substr(0, 8) +
                     (product + std::string(16, ' ')).substr(0, 16) + (revision + std::string(4, ' ')).substr(0, 4);
  std::string answer(24, '\0');
  answer[0] = 1;  // buses
  answer[4] = 1;  // logical units on bus 0
  answer[5] = 7;  // initiator id
  Put32(answer, 8, 12);
  answer[12 + 1] = 1;  // target 1, LUN 0
  answer[12 + 3] = 1;  // claimed
  Put32(answer, 12 + 4, uint32_t(data.size()));
  return answer + data;
}

ControlAnswer ScsiControl(void* state, const ControlRequest& r) {
  ScsiDevice& d = *static_cast<ScsiDevice*>(state);
  auto refused = d.refuse.find(r.code);
  if (refused != d.refuse.end()) return ControlFailure(refused->second);
  switch (r.code) {
    case SCSI_CODE_INQUIRY_DATA: {
      if (r.outLength < d.inquiry.size()) return ControlFailure(ERROR_INSUFFICIENT_BUFFER_);
      ControlAnswer a;
      a.success = 1;
      a.out = d.inquiry;
      return a;
    }
    case SCSI_CODE_CAPABILITIES: return Capabilities(d, r.outLength);
    case SCSI_CODE_PASS_THROUGH: return BufferedPassThrough(d, r);
    case SCSI_CODE_PASS_THROUGH_DIRECT: return DirectPassThrough(d, r);
  }
  return ControlFailure(ERROR_INVALID_FUNCTION_);
}
