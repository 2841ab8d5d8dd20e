#include "services/scsi_test.h"

#include <winioctl.h>
#include <ntddscsi.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "common/resource.h"
#include "platform/alloc.h"
#include "platform/device.h"
#include "ports/ieee1394/ieee1394.h"
#include "services/scsi_report.h"
#include "terminal/log.h"

// The platform's records with the sense area right behind the header and the data behind
// the sense area. On 64-bit Windows the header is 56 bytes, so the sense area lies at 56,
// the data at 88, and the blocks are 600 and 88 bytes long.
struct PassThroughBlock {
  SCSI_PASS_THROUGH header;
  UCHAR sense[SENSE_AREA_SIZE];
  UCHAR data[SECTOR_SIZE];
};
struct DirectBlock {
  SCSI_PASS_THROUGH_DIRECT header;
  UCHAR sense[SENSE_AREA_SIZE];
};
const DWORD SENSE_OFFSET = offsetof(PassThroughBlock, sense), DATA_OFFSET = offsetof(PassThroughBlock, data);

static_assert(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) == BUS_INFO_BUS_DATA &&
                  sizeof(SCSI_BUS_DATA) == BUS_DATA_SIZE &&
                  offsetof(SCSI_BUS_DATA, InquiryDataOffset) == BUS_DATA_INQUIRY_OFFSET,
              "bus records as the report reads them");
static_assert(offsetof(SCSI_INQUIRY_DATA, TargetId) == INQUIRY_TARGET && offsetof(SCSI_INQUIRY_DATA, Lun) == INQUIRY_LUN &&
                  offsetof(SCSI_INQUIRY_DATA, DeviceClaimed) == INQUIRY_CLAIMED &&
                  offsetof(SCSI_INQUIRY_DATA, InquiryDataLength) == INQUIRY_LENGTH &&
                  offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset) == INQUIRY_NEXT &&
                  offsetof(SCSI_INQUIRY_DATA, InquiryData) == INQUIRY_DATA,
              "inquiry records as the report reads them");
static_assert(offsetof(DirectBlock, sense) == SENSE_OFFSET, "both blocks keep the sense area alike");

static ReportLines* capture;  // where the lines go instead of the terminal log

static void Emit(const char* line) {
  if (capture)
    capture->push_back(line);
  else
    AppendDisplayLine(line);
}

static void Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatText(format, args);
  va_end(args);
  Emit(text.c_str());
}

static void Log(const ReportLines& lines) {
  for (const std::string& line : lines) Emit(line.c_str());
}

static void SystemErrorText(DWORD error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                           sizeof text, NULL);
  if (!n) {
    Line("Format message failed.  Error: %lu ", GetLastError());
    return;
  }
  if (n > 80) n = 80;
  while (n && (text[n - 1] == '\r' || text[n - 1] == '\n')) n--;
  text[n] = 0;
  Emit(text);
}

// The port is open for overlapped I/O and its receive thread reads on it meanwhile.
static BOOL Request(HANDLE device, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
  return DeviceRequest(device, code, in, inLength, out, outLength, returned, DEVICE_REQUEST_MS);
}

static void InquiryTest(HANDLE device) {
  unsigned char buffer[INQUIRY_BUFFER_SIZE] = {};
  DWORD returned = 0;
  if (!Request(device, IOCTL_SCSI_GET_INQUIRY_DATA, NULL, 0, buffer, sizeof buffer, &returned)) {
    DWORD error = GetLastError();
    Line("Error reading inquiry data information; error was %lu ", error);
    SystemErrorText(error);
    return;
  }
  Line("Read %lXh bytes of inquiry data Information. ", returned);
  ReportLines lines;
  InquiryReport(lines, buffer, returned < sizeof buffer ? returned : sizeof buffer);
  Log(lines);
}

// The adapter's alignment mask, or 0 when the request failed.
static ULONG CapabilitiesRequest(HANDLE device) {
  IO_SCSI_CAPABILITIES caps = {};
  DWORD returned = 0;
  if (Request(device, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &caps, sizeof caps, &returned))
    return caps.AlignmentMask;
  DWORD error = GetLastError();
  Line("Error in io control; error was %lu ", error);
  SystemErrorText(error);
  return 0;
}

template <class Header>
static void RequestHeader(Header& h, const UCHAR* cdb, UCHAR cdbLength, UCHAR senseLength, UCHAR direction,
                          ULONG transfer) {
  h.Length = sizeof h;
  h.PathId = 0;
  h.TargetId = 1;
  h.Lun = 0;
  h.CdbLength = cdbLength;
  h.SenseInfoLength = senseLength;
  h.DataIn = direction;
  h.DataTransferLength = transfer;
  h.TimeOutValue = 2;
  h.SenseInfoOffset = SENSE_OFFSET;
  memcpy(h.Cdb, cdb, cdbLength);
}

// The status report of one request; true when it succeeded with SCSI status 0.
template <class Header>
static bool StatusReport(BOOL ok, DWORD error, const Header& h, const UCHAR* sense, DWORD returned,
                         const void* block, DWORD dumpLength) {
  if (!ok) {
    Line("Error: %lu  ", error);
    SystemErrorText(error);
    return false;
  }
  ReportLines lines;
  StatusReport(lines, {h.ScsiStatus, h.SenseInfoLength, h.DataTransferLength, returned, sense},
               static_cast<const unsigned char*>(block), dumpLength);
  Log(lines);
  return h.ScsiStatus == 0;
}

struct SeriesStep {
  const char* titles[2];
  UCHAR cdb[6];
  UCHAR senseLength;
  ULONG transfer;
  ULONG_PTR dataOffset;
};

static const SeriesStep passThroughSteps[] = {
    {{"            ***** MODE SENSE -- return all pages ***** ",
      "            *****      with SenseInfo buffer     ***** "},
     {0x1A, 0x00, 0x3F, 0x00, 0xC0, 0x00}, 24, 192, DATA_OFFSET},
    {{"            ***** MODE SENSE -- return all pages ***** ",
      "            *****    without SenseInfo buffer    ***** "},
     {0x1A, 0x00, 0x3F, 0x00, 0xC0, 0x00}, 0, 192, DATA_OFFSET},
    {{"            *****      TEST UNIT READY      ***** ", "            *****    DataBufferLength = 0   ***** "},
     {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 24, 0, DATA_OFFSET},
    {{"            *****      MODE SENSE -- return all pages      ***** ",
      "            *****   bad DataBufferOffset -- should fail    ***** "},
     {0x1A, 0x00, 0x3F, 0x00, 0xC0, 0x00}, 0, 192, 0},
    {{"            *****               MODE SENSE                  ***** ",
      "            *****     return caching mode sense page        ***** "},
     {0x1A, 0x08, 0x08, 0x00, 0xC0, 0x00}, 24, 192, DATA_OFFSET},
};

static void PassThroughSeries(HANDLE device) {
  for (const SeriesStep& step : passThroughSteps) {
    Emit(step.titles[0]);
    Emit(step.titles[1]);
    PassThroughBlock block;
    ZeroMemory(&block, sizeof block);
    RequestHeader(block.header, step.cdb, 6, step.senseLength, SCSI_IOCTL_DATA_IN, step.transfer);
    block.header.DataBufferOffset = step.dataOffset;
    DWORD length = DATA_OFFSET + step.transfer, returned = 0;
    BOOL ok = Request(device, IOCTL_SCSI_PASS_THROUGH, &block, sizeof block.header, &block, length, &returned);
    StatusReport(ok, GetLastError(), block.header, block.sense, returned, &block, length);
  }
}

static void DirectRequest(HANDLE device, const UCHAR* cdb, UCHAR direction, UCHAR* data) {
  DirectBlock block;
  ZeroMemory(&block, sizeof block);
  RequestHeader(block.header, cdb, 10, 24, direction, SECTOR_SIZE);
  block.header.DataBuffer = data;
  DWORD returned = 0;
  BOOL ok = Request(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block, sizeof block, &returned);
  if (!StatusReport(ok, GetLastError(), block.header, block.sense, returned, &block, sizeof block)) return;
  ReportLines lines;
  HexDump(lines, data, block.header.DataTransferLength < SECTOR_SIZE ? block.header.DataTransferLength : SECTOR_SIZE);
  Log(lines);
}

// The data buffer is aligned as the adapter asks; a machine out of memory ends this
// test, not the program with the user's unsaved work.
static void DirectSeries(HANDLE device, ULONG alignmentMask) {
  static const UCHAR writeBuffer[10] = {0x3B, 0x02, 0, 0, 0, 0, 0, 0x02, 0, 0};
  static const UCHAR readBuffer[10] = {0x3C, 0x02, 0, 0, 0, 0, 0, 0x02, 0, 0};
  ULONG_PTR mask = UsableAlignmentMask(alignmentMask);
  Emit("            *****       WRITE DATA BUFFER operation         ***** ");
  HGLOBAL memory = AllocFileBuffer(SECTOR_SIZE + mask);
  UCHAR* base = memory ? static_cast<UCHAR*>(GlobalLock(memory)) : NULL;
  if (!base) {
    if (memory) GlobalFree(memory);
    Emit("Memory allocation error.  Terminating program ");
    return;
  }
  UCHAR* data = reinterpret_cast<UCHAR*>((reinterpret_cast<ULONG_PTR>(base) + mask) & ~mask);
  memset(data, 'N', SECTOR_SIZE / 2);
  memset(data + SECTOR_SIZE / 2, 'T', SECTOR_SIZE / 2);
  DirectRequest(device, writeBuffer, SCSI_IOCTL_DATA_OUT, data);
  Emit("            *****       READ DATA BUFFER operation         ***** ");
  memset(data, 0, SECTOR_SIZE);
  DirectRequest(device, readBuffer, SCSI_IOCTL_DATA_IN, data);
  GlobalUnlock(memory);
  GlobalFree(memory);
}

void RunScsiTest(int choice, HANDLE device, ReportLines* into) {
  capture = into;
  switch (choice) {
    case SCSI_INQUIRY: InquiryTest(device); break;
    case SCSI_CAPABILITIES: CapabilitiesRequest(device); break;
    case SCSI_PASS_THROUGH_SERIES: PassThroughSeries(device); break;
    case SCSI_DIRECT_SERIES: DirectSeries(device, CapabilitiesRequest(device)); break;
  }
  capture = NULL;
}

static INT_PTR CALLBACK ScsiDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  static const int radios[][2] = {{IDC_SCSI_INQUIRY, SCSI_INQUIRY}, {IDC_SCSI_CAPABILITIES, SCSI_CAPABILITIES},
                                  {IDC_SCSI_PASS_THROUGH, SCSI_PASS_THROUGH_SERIES},
                                  {IDC_SCSI_DIRECT, SCSI_DIRECT_SERIES}};
  static int* choice;
  if (msg == WM_INITDIALOG) {
    choice = reinterpret_cast<int*>(lParam);
    *choice = SCSI_INQUIRY;
    CheckRadioButton(dlg, IDC_SCSI_INQUIRY, IDC_SCSI_DIRECT, IDC_SCSI_INQUIRY);
    SetFocus(GetDlgItem(dlg, IDOK));
    return FALSE;
  }
  if (msg != WM_COMMAND) return FALSE;
  for (const auto& radio : radios)
    if (LOWORD(wParam) == radio[0]) *choice = radio[1];
  if (LOWORD(wParam) == IDCANCEL) *choice = SCSI_NONE;
  if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dlg, 1);
  return TRUE;
}

void ScsiCommandTest(HWND owner) {
  int choice = SCSI_NONE;
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_SCSI), owner, ScsiDialogProc, reinterpret_cast<LPARAM>(&choice));
  RunScsiTest(choice, Ieee1394Handle);
}
