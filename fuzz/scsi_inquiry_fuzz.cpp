#include "services/scsi_report.h"

#include "fuzz.h"

// The answer is the device's: the walk must stay inside it and end, and every record
// line is followed by its blank line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReportLines lines;
  InquiryReport(lines, data, size);
  size_t records = (lines.size() - 4) / 2;
  if (lines.size() < 4 || (lines.size() - 4) % 2 || records > 255u * INQUIRY_CHAIN_CAP) abort();
  for (size_t i = 0; i < records; i++)
    if (lines[4 + 2 * i] != " ") abort();
  if (lines.back() != "  ") abort();
  return 0;
}
