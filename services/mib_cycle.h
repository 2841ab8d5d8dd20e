#pragma once
// The automatic MIB refer cycle: one fixed GET after each USB receive, its answer logged.
// It builds into and decodes from buffers of its own, never the dialog's.

#include <string>
#include <vector>

#include "services/vendor_request.h"

const unsigned MIB_RECEIVE_MIN = 255;
const unsigned MIB_RECEIVE_MAX = 4096;

// The receive size field's number; outside 255 to 4096 it is 255.
unsigned MibReceiveSize(const char* text);

struct MibCycleResult {
    std::vector<std::string> errors;  // failure lines, appended as display lines
    std::string value;                // the answer's value, logged as a connection message when logged is 1
    int logged;
};

// *counter runs 1 to 255 while cycles succeed and falls back to 1 after any failure.
// Returns 0 when the MIB object set failed, else 1.
int MibCycle(const VendorChannel& channel, int* counter, MibCycleResult* result);
