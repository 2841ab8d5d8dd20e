#include "send/engine.h"
#include "app/app.h"
#include "common/resource.h"
#include "common/ui.h"
#include "platform/alloc.h"
#include "ports/tcpip/tcpip.h"
#include "send/block_dialog.h"
#include "send/driver.h"
#include "terminal/log.h"

unsigned char* FileData;
uint32_t BlockSizeBytes = 1024;
Word TimeOutOn, WaitOn, HighSpeed, OrderOption = 1, KbyteFlag = 1;

const DWORD PIECE_SIZE = 4096;

static HGLOBAL fileBuffer;
static HANDLE sendFile = INVALID_HANDLE_VALUE;

int StartSendThread(HWND owner) {
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

static void SetSendingFlag(int on) {
  int kind = ActiveKind();
  Ports[kind].sending = on ? 1 : kind == IF_USB ? 0 : 2;
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

// 0 with the whole file in the buffer; -140 leaves the file open for piece mode.
static int LoadFile(ConnectionBlock* block, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return -107;
  sendFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (sendFile == INVALID_HANDLE_VALUE) return -107;
  DWORD size = GetFileSize(sendFile, NULL);
  if (size == INVALID_FILE_SIZE) return -107;
  FreeFileBuffer();
  block->fileSize = size;
  if (!AllocateFileBuffer(size)) return -140;
  DWORD read = 0;
  // A file that shrank since its size was read would otherwise be padded by resending.
  if (!ReadFile(sendFile, FileData, size, &read, NULL) || read != size) {
    FreeFileBuffer();
    return -134;
  }
  block->bytesRead = read;
  return 0;
}

static int ReadPiece(ConnectionBlock* block) {
  DWORD read = 0;
  if (!ReadFile(sendFile, FileData, PIECE_SIZE, &read, NULL) || read == 0) return 0;
  block->bytesRead = read;
  return 1;
}

// 1 when every byte went out; a 0-byte file goes out without a block sender call.
static int TransmitFile(ConnectionBlock* block, int pieceMode) {
  const Driver* driver = Drivers[ActiveKind()];
  if (!driver || !driver->blockSender) return 0;
  int sent = 1;
  while ((uint32_t)BytesSent < block->fileSize) {
    if (pieceMode && !ReadPiece(block)) return 0;
    sent = driver->blockSender(block, SendCounter);
    if (!sent) break;
  }
  return sent;
}

// Ends with -160 when the connection attempt is given up or the job is stopped. Between
// two retries the TCP state passes through 0 while a re-connection is still pending.
static int WaitTcpipConnected() {
  while (!(TcpState == 1 && Ports[IF_TCPIP].connected == 1)) {
    if ((TcpState == 0 && TcpReconnectPending == 0) || StopRequest == 3) return -160;
    Sleep(1);
  }
  return 0;
}

// With the wait option the printer sees a fresh connection for every file.
static int TcpipStepBetweenFiles(HWND mainWnd, DWORD waitMs) {
  if (WaitOn != 1 || ActiveKind() != IF_TCPIP) return 0;
  TcpipCloseConnection(mainWnd);
  Sleep(waitMs);
  TcpState = 2;
  TcpReconnectPending = TcpipConnect(mainWnd, 1);
  if (TcpReconnectPending) {
    int result = WaitTcpipConnected();
    if (result == 0) SetSendingFlag(1);  // the close cleared it; the stop command looks for it
    return result;
  }
  TcpipCloseSocket();
  TcpState = 0;
  LogMessage("TCP/IP:Connection Retry NG.");
  return -160;
}

static int SendOneFile(HWND mainWnd, ConnectionBlock* block, const char* path, const char* name, DWORD waitMs) {
  int loaded = LoadFile(block, path);
  int pieceMode = loaded == -140 && AllocateFileBuffer(PIECE_SIZE);
  if (loaded != 0 && !pieceMode) {
    CloseSendFile();
    StopCommandEnable(0);
    return loaded;
  }
  LogMessage("%s:(%d)SendDataFile = %s", name, (int)SendCounter, path);
  LogMessage("%s:(%d)SendDataSize = %ldbyte", name, (int)SendCounter, (long)block->fileSize);
  DWORD start = GetTickCount();
  BytesSent = 0;
  StatusPart1Update(0, block->fileSize);
  StopCommandEnable(1);
  int sent = TransmitFile(block, pieceMode);
  FreeFileBuffer();
  CloseSendFile();
  int result = -106;
  if (sent) {
    LogMessage("%s:(%d)SendTime = %dms", name, (int)SendCounter, (int)(GetTickCount() - start));
    StatusPart1Update(BytesSent, block->fileSize);
    SendCounter++;
    FilesSent++;
    StatusPart1Update(0, 0);
    result = TcpipStepBetweenFiles(mainWnd, waitMs);
  } else {
    StatusPart1Update(0, 0);
  }
  StopCommandEnable(0);
  return result;
}

static int EnsureInterface(HWND mainWnd, ConnectionBlock* block) {
  if (AnyConnected()) return 0;
  if (SelectInterfaceDialog(mainWnd) == -1) return -101;
  if (ActiveKind() == IF_TCPIP) {
    BlockCommandEnable(0);
    int result = WaitTcpipConnected();
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
  const char* name = InterfaceName(ActiveKind());
  ConnectionLogMessage("%s:Data Send Start.", name);
  uint64_t files = block->fileCount, times = block->numberOfTimes, sends = files * times;
  FilesTotal = (int)sends;
  StatusPart1Update(0, 0);
  for (uint64_t n = 0; n < sends; n++) {
    uint64_t file = OrderOption ? n % files : n / times;
    if (n > 0 && WaitOn == 1 && ActiveKind() != IF_TCPIP) Sleep(waitMs);
    int result = SendOneFile(mainWnd, block, FileTable[file].c_str(), name, waitMs);
    if (result) return result;
  }
  return 0;
}

static void ReportResult(int result) {
  const char* name = InterfaceName(ActiveKind());
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
  TcpReconnectPending = 0;
  StopRequest = 0;
  WaitForSingleObject(PortMutex, INFINITE);
  FilesSent = FilesTotal = 0;
  StatusPart1Update(0, 0);
  ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
  int result = BlockTransmissionExchange(block, hInst, mainWnd);
  if (result == 0) result = EnsureInterface(mainWnd, block);
  if (result == 0) result = SendListedFiles(mainWnd, block);
  SetSendingFlag(0);
  BlockCommandEnable(1);
  ReportResult(result);
  GlobalUnlock(ConnectionBlockMemory);
  ReleaseMutex(PortMutex);
  ReleaseSendThreadHandle();
  return result == 0 || result == -101;
}
