// The SCSI command test's reports as text lines: the inquiry report, the status report
// after a pass-through request and the hex dump. Every count and offset in an answer is
// the device's word, so each is checked against the area it describes before use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::string> ReportLines;

// Where the platform's inquiry records keep their fields; the Win32 side checks these
// against its published structures at compile time.
const size_t BUS_INFO_BUS_DATA = 4;       // first bus record after the bus count
const size_t BUS_DATA_SIZE = 8;
const size_t BUS_DATA_INQUIRY_OFFSET = 4; // the bus's first inquiry record
const size_t INQUIRY_TARGET = 1, INQUIRY_LUN = 2, INQUIRY_CLAIMED = 3, INQUIRY_LENGTH = 4, INQUIRY_NEXT = 8,
             INQUIRY_DATA = 12;
const size_t INQUIRY_BUFFER_SIZE = 2048;
const int INQUIRY_CHAIN_CAP = 256;        // more records than any bus can hold

const size_t SENSE_AREA_SIZE = 32;
const size_t SECTOR_SIZE = 512;
const uint32_t ALIGNMENT_MASK_CAP = 4095; // no adapter asks more than a page

// The inquiry report of the `length` bytes the request returned (at most the buffer).
void InquiryReport(ReportLines& lines, const unsigned char* buffer, size_t length);

// What a pass-through request left in its header, and the block's sense area.
struct PassThroughAnswer {
  unsigned scsiStatus;
  unsigned senseLength;
  uint32_t transferLength;
  uint32_t bytesReturned;
  const unsigned char* sense;  // SENSE_AREA_SIZE bytes
};

// The report after a request that succeeded; `block` and `dumpLength` are what the
// status report dumps on SCSI status 0.
void StatusReport(ReportLines& lines, const PassThroughAnswer& answer, const unsigned char* block,
                  size_t dumpLength);

void HexDump(ReportLines& lines, const unsigned char* bytes, size_t length);

// The alignment mask an adapter reported, when it is one a buffer can be aligned to
// (2^n - 1 up to the cap); anything else counts as no alignment.
uint32_t UsableAlignmentMask(uint32_t mask);
