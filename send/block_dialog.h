// The block transmission dialog: the file list and the options of one send job.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "common/state.h"

// The listed paths of the last started job, in list order.
extern std::vector<std::string> FileTable;

// 0 when "Transmission(&S)" closed it (connection block, file table and options
// updated), -101 when it was cancelled.
int BlockTransmissionExchange(ConnectionBlock* block, HINSTANCE instance, HWND owner);
