#include "services/scsi_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint32_t Word32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

void InquiryLine(ReportLines& lines, int bus, const unsigned char* record, size_t room) {
  size_t dataLength = std::min<size_t>({Word32(record + INQUIRY_LENGTH), room - INQUIRY_DATA, 36});
  const unsigned char* data = record + INQUIRY_DATA;
  std::string text;
  for (size_t i = 8; i < dataLength && data[i]; i++) text += char(data[i]);
  std::string line = Format(" %d   %d  %3d    %s    %.28s ", bus, record[INQUIRY_TARGET], record[INQUIRY_LUN],
                            record[INQUIRY_CLAIMED] ? "Y" : "N", text.c_str());
  for (size_t i = 0; i < std::min<size_t>(dataLength, 8); i++) line += Format("%02X ", data[i]);
  lines.push_back(line);
  lines.push_back(" ");
}

// A chain ends at offset 0, at a record that does not fit, at an offset seen before, or
// at the cap, so a device that points a record at itself cannot hold the report.
void InquiryChain(ReportLines& lines, int bus, const unsigned char* buffer, size_t length, uint32_t offset) {
  std::vector<bool> seen(length);
  for (int n = 0; offset && n < INQUIRY_CHAIN_CAP; n++) {
    if (offset >= length || length - offset < INQUIRY_DATA || seen[offset]) return;
    seen[offset] = true;
    InquiryLine(lines, bus, buffer + offset, length - offset);
    offset = Word32(buffer + offset + INQUIRY_NEXT);
  }
}

}  // namespace

void InquiryReport(ReportLines& lines, const unsigned char* buffer, size_t length) {
  lines.push_back("Bus ");
  lines.push_back("Num TID LUN Claimed String                       Inquiry Header ");
  lines.push_back("--- --- --- ------- ---------------------------- ----------------------- ");
  length = std::min(length, INQUIRY_BUFFER_SIZE);
  int buses = length ? buffer[0] : 0;
  for (int i = 0; i < buses; i++) {
    size_t at = BUS_INFO_BUS_DATA + i * BUS_DATA_SIZE;
    if (at + BUS_DATA_SIZE > length) break;
    InquiryChain(lines, i, buffer, length, Word32(buffer + at + BUS_DATA_INQUIRY_OFFSET));
  }
  lines.push_back("  ");
}

void StatusReport(ReportLines& lines, const PassThroughAnswer& a, const unsigned char* block, size_t dumpLength) {
  if (a.scsiStatus == 0) {
    lines.push_back(Format("Scsi status: %02Xh, Bytes returned: %Xh, ", a.scsiStatus, a.bytesReturned));
    lines.push_back(Format("Data buffer length: %Xh   ", a.transferLength));
    HexDump(lines, block, dumpLength);
    return;
  }
  lines.push_back(Format("Scsi status: %02Xh  ", a.scsiStatus));
  size_t senseLength = std::min<size_t>(a.senseLength, SENSE_AREA_SIZE);
  if (!senseLength) return;
  lines.push_back("Sense Info -- consult SCSI spec for details ");
  lines.push_back("------------------------------------------------------------- ");
  std::string line;
  for (size_t i = 0; i < senseLength; i++) line += Format("%02X ", a.sense[i]);
  lines.push_back(line);
  lines.push_back("  ");
}

void HexDump(ReportLines& lines, const unsigned char* bytes, size_t length) {
  lines.push_back("      00  01  02  03  04  05  06  07   08  09  0A  0B  0C  0D  0E  0F ");
  lines.push_back("      --------------------------------------------------------------- ");
  std::string line;
  for (size_t i = 0; i < length; i++) {
    if (i % 16 == 0) line = Format(" %03X  ", unsigned(i));
    line += Format("%02X  ", bytes[i]);
    if (i % 16 == 7) line += ' ';
    if (i % 16 == 15) {
      lines.push_back(line + ' ');
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  lines.push_back("  ");
}

uint32_t UsableAlignmentMask(uint32_t mask) { return mask <= ALIGNMENT_MASK_CAP && (mask & (mask + 1)) == 0 ? mask : 0; }
