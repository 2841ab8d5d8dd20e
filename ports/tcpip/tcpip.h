// The TCP/IP driver: a raw TCP stream to the printer's printing port, connected
// asynchronously; the socket reports its events to the main window as WM_SOCKET_EVENT.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include "common/state.h"
#include "send/driver.h"

extern const Driver TcpipDriver;

extern volatile SOCKET TcpSocket;  // INVALID_SOCKET when none is open
extern Word TcpReconnectPending;   // a connect made by the re-connection awaits its connect event
extern Word TcpAutoReconnect;      // "Automatic re-connection(&C)"; not saved
extern Word TcpRetryCount;         // connect failures while re-connecting since the last close event
extern Word NoRecvCounter;         // empty receive polls since the last data or the last block sent
extern char ResolvedHostName[260];
const int TCP_RETRY_LIMIT = 10;

int TcpipConnect(HWND wnd, int retryForm);  // 1 when the connection was started
void TcpipCloseConnection(HWND wnd);
void TcpipCloseSocket();  // closes the socket if one exists, and ends its Winsock use

int TcpipDialog(HWND owner);
int TcpipSocketEvent(HWND wnd, WPARAM wParam, LPARAM lParam);
int TcpipBlockSender(ConnectionBlock* block, int counter);
int TcpipDirectWrite(const unsigned char* bytes, int length);
int TcpipStartReceiving();  // 0 when the receive thread cannot be created
void TcpipStopReceiving();  // the thread ends on its own; its handle is released at once

// Tests watch the pieces go out: called once per completed block or remainder.
extern void (*TcpipSendObserver)(int bytes);
