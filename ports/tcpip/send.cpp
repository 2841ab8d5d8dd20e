#include "ports/tcpip/tcpip.h"
#include "send/frame.h"

// One writer at a time: the port mutex keeps the block sender and the direct write apart.
static const unsigned char* pending;
static uint32_t pendingLength;
static int boundSerial;

static void BindToConnection() { boundSerial = TcpSerial; }

static int StartPiece(const unsigned char* bytes, uint32_t length, int*) {
  pending = bytes;
  pendingLength = length;
  return 1;
}

static int AwaitPiece(DWORD ms, uint32_t* written, int* error) {
  NoRecvCounter = 0;
  int sent = TcpipSendNow(boundSerial, pending, pendingLength, error);
  if (sent == 0) {
    TcpipAwaitRoom(ms);
    sent = TcpipSendNow(boundSerial, pending, pendingLength, error);
  }
  if (sent <= 0) return sent;
  *written = (uint32_t)sent;
  return 1;
}

static void CancelPiece() {}

static const PieceWriter tcpipWriter = {IF_TCPIP, StartPiece, AwaitPiece, CancelPiece, BindToConnection, NULL,
                                        0, WSAETIMEDOUT, {}};

int TcpipBlockSender(ConnectionBlock* block, int counter) { return BlockSenderFrame(&tcpipWriter, block, counter); }

int TcpipDirectWrite(const unsigned char* bytes, int length) {
  return DirectWriteFrame(&tcpipWriter, bytes, length);
}
