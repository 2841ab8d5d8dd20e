#include "send/engine.h"
#include "common/resource.h"
#include "common/ui.h"
#include "platform/alloc.h"
#include "send/block_dialog.h"
#include "send/driver.h"
#include "send/frame.h"
#include "terminal/log.h"

unsigned char* FileData;
uint32_t BlockSizeBytes = 1024;
Word TimeOutOn, WaitOn, HighSpeed, OrderOption = 1, KbyteFlag = 1;

const DWORD PIECE_SIZE = 4096;                  // when memory for more is short
const uint64_t WHOLE_FILE_LIMIT = 64ull << 20;  // larger files are read in large pieces
const uint32_t LARGE_PIECE = 16u << 20;

static HGLOBAL fileBuffer;
static HANDLE sendFile = INVALID_HANDLE_VALUE;
static uint32_t pieceSize;  // 0 while the whole file is in the buffer

int StartSendThread(HWND owner) {
  if (SendThreadHandle) return 0;  // one job at a time
  SendThreadHandle = StartThread(SendThreadProc, owner);
  if (!SendThreadHandle) {
    AppendDisplayLine("<ERROR>Send CreateThread NG.");
    return 0;
  }
  Sleep(100);
  return 1;
}

void ReleaseSendThreadHandle() {
  HANDLE thread = InterlockedExchangePointer(&SendThreadHandle, NULL);
  if (thread) CloseHandle(thread);
}

static Word jobKind;  // the interface the job started on: a disconnection clears the active one

static void SetSendingFlag(int on) {
  Ports[jobKind].sending = on ? 1 : jobKind == IF_USB ? 0 : 2;
}

static void StopCommandEnable(int on) {
  EnableToolbarButton(TB_STOP, on);
  EnableMenuCommand(IDM_STOP, on);
}

static void FreeFileBuffer() {
  if (!fileBuffer) return;
  GlobalUnlock(fileBuffer);
  GlobalFree(fileBuffer);
  fileBuffer = NULL;
  FileData = NULL;
}

// Large pieces hold whole blocks, so the printer sees the block sizes it was asked for.
static uint32_t LargePieceSize() {
  uint32_t block = BlockSizeBytes ? BlockSizeBytes : 1;
  return block >= LARGE_PIECE ? block : LARGE_PIECE / block * block;
}

static int AllocateFileBuffer(SIZE_T bytes) {
  fileBuffer = AllocFileBuffer(bytes ? bytes : 1);
  FileData = fileBuffer ? (unsigned char*)GlobalLock(fileBuffer) : NULL;
  if (!FileData) FreeFileBuffer();
  return FileData != NULL;
}

static void CloseSendFile() {
  if (sendFile != INVALID_HANDLE_VALUE) CloseHandle(sendFile);
  sendFile = INVALID_HANDLE_VALUE;
}

// 0 with the file, or its first piece's room, in the buffer; -140 leaves the file open
// for 4096-byte pieces.
static int LoadFile(ConnectionBlock* block, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return -107;
  sendFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (sendFile == INVALID_HANDLE_VALUE) return -107;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(sendFile, &size)) return -107;
  FreeFileBuffer();
  block->fileSize = (uint64_t)size.QuadPart;
  block->bytesRead = 0;
  pieceSize = block->fileSize > WHOLE_FILE_LIMIT ? LargePieceSize() : 0;
  if (!AllocateFileBuffer(pieceSize ? pieceSize : (SIZE_T)block->fileSize)) return -140;
  if (pieceSize) return 0;
  DWORD read = 0;
  // A file that shrank since its size was read would otherwise be padded by resending.
  if (!ReadFile(sendFile, FileData, (DWORD)block->fileSize, &read, NULL) || read != block->fileSize) {
    FreeFileBuffer();
    return -134;
  }
  block->bytesRead = read;
  return 0;
}

// The next piece, never more than the file has left: a file that grew is sent at its size.
static int ReadPiece(ConnectionBlock* block) {
  uint64_t left = block->fileSize - BytesSent;
  DWORD read = 0, wanted = (DWORD)(left < pieceSize ? left : pieceSize);
  if (!ReadFile(sendFile, FileData, wanted, &read, NULL) || read == 0) return 0;
  block->bytesRead = read;
  return 1;
}

// 1 when every byte went out; a 0-byte file goes out without a block sender call.
static int TransmitFile(ConnectionBlock* block) {
  const Driver* driver = Drivers[jobKind];
  if (!driver || !driver->blockSender) return 0;
  int sent = 1;
  JobEntersPort(jobKind);
  while (sent && BytesSent < block->fileSize) {
    sent = !pieceSize || ReadPiece(block);
    if (sent) sent = driver->blockSender(block, SendCounter);
  }
  JobLeavesPort();
  return sent;
}

static int StepBetweenFiles(HWND mainWnd, DWORD waitMs) {
  const Driver* driver = Drivers[jobKind];
  return driver && driver->stepBetweenFiles ? driver->stepBetweenFiles(mainWnd, waitMs) : 0;
}

static int SendOneFile(HWND mainWnd, ConnectionBlock* block, const char* path, const char* name, DWORD waitMs) {
  int loaded = LoadFile(block, path);
  if (loaded == -140 && AllocateFileBuffer(PIECE_SIZE)) loaded = 0, pieceSize = PIECE_SIZE;
  if (loaded != 0) {
    CloseSendFile();
    StopCommandEnable(0);
    return loaded;
  }
  LogMessage("%s:(%d)SendDataFile = %s", name, (int)SendCounter, path);
  LogMessage("%s:(%d)SendDataSize = %llubyte", name, (int)SendCounter, (unsigned long long)block->fileSize);
  DWORD start = GetTickCount();
  BytesSent = 0;
  StatusPart1Update(0, block->fileSize);
  StopCommandEnable(1);
  int sent = TransmitFile(block);
  FreeFileBuffer();
  CloseSendFile();
  int result = -106;
  if (sent) {
    LogMessage("%s:(%d)SendTime = %dms", name, (int)SendCounter, (int)(GetTickCount() - start));
    StatusPart1Update(BytesSent, block->fileSize);
    SendCounter++;
    FilesSent++;
    StatusPart1Update(0, 0);
    result = StepBetweenFiles(mainWnd, waitMs);
  } else {
    StatusPart1Update(0, 0);
  }
  StopCommandEnable(0);
  return result;
}

static int EnsureInterface(HWND mainWnd, ConnectionBlock* block) {
  if (AnyConnected()) return 0;
  if (SelectInterfaceDialog(mainWnd) == -1) return -101;
  const Driver* driver = Drivers[ActiveKind()];
  if (driver && driver->awaitConnected) {
    BlockCommandEnable(0);
    int result = driver->awaitConnected();
    BlockCommandEnable(1);
    if (result) return result;
  } else if (!AnyConnected()) {
    return -160;
  }
  *DelayField(block, ActiveKind()) = block->delayNone;
  return 0;
}

static int SendListedFiles(HWND mainWnd, ConnectionBlock* block) {
  SetSendingFlag(1);
  DWORD waitMs = block->wait * 1000;
  const char* name = InterfaceName(jobKind);
  const Driver* driver = Drivers[jobKind];
  int stepping = driver && driver->stepBetweenFiles;  // the driver pauses between files itself
  ConnectionLogMessage("%s:Data Send Start.", name);
  uint64_t files = block->fileCount, times = block->numberOfTimes, sends = files * times;
  FilesTotal = (int)sends;
  StatusPart1Update(0, 0);
  for (uint64_t n = 0; n < sends; n++) {
    uint64_t file = OrderOption ? n % files : n / times;
    if (n > 0 && WaitOn == 1 && !stepping) JobPause(waitMs);
    if (JobAskedToEnd()) return -106;
    int result = SendOneFile(mainWnd, block, FileTable[file].c_str(), name, waitMs);
    if (result) return result;
  }
  return 0;
}

static void ReportResult(int kind, int result) {
  const char* name = InterfaceName(kind);
  switch (result) {
    case 0: ConnectionLogMessage("%s:Data Send End.", name); break;
    case -101: Ports[IF_USB].sending = 0; break;
    case -106: LogMessage("%s:<ERROR>Data Send NG.", name); break;
    case -107: LogMessage("%s:<ERROR>Send Data File Handle NG.", name); break;
    case -134: LogMessage("%s:<ERROR>Send Data File Read NG.", name); break;
    case -140: LogMessage("%s:<ERROR>Send Data File Memory overflow NG.", name); break;
    case -160: break;
    default: LogMessage("%s:<ERROR>Data Send Others Error = %d", name, result); break;
  }
}

DWORD WINAPI SendThreadProc(LPVOID mainWindow) {
  HWND mainWnd = (HWND)mainWindow;
  WaitForSingleObject(PortMutex, INFINITE);
  JobStarts();
  FilesSent = FilesTotal = 0;
  StatusPart1Update(0, 0);
  ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
  int result = BlockTransmissionExchange(block, hInst, mainWnd);
  if (result == 0) result = EnsureInterface(mainWnd, block);
  jobKind = ActiveKind();
  if (result == 0) result = SendListedFiles(mainWnd, block);
  SetSendingFlag(0);
  BlockCommandEnable(1);
  ReportResult(jobKind, result);
  GlobalUnlock(ConnectionBlockMemory);
  ReleaseMutex(PortMutex);
  ReleaseSendThreadHandle();
  return result == 0 || result == -101;
}
