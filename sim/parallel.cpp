#include "sim/parallel.h"

#include "sim/printer.h"

enum { ERR_INVALID_FUNCTION = 1, ERR_INVALID_PARAMETER = 87, ERR_INSUFFICIENT_BUFFER = 122 };

void ParallelReset(ParallelDevice* device) {
  *device = ParallelDevice();
  device->deviceId = DeviceId().substr(2);
}

static uint32_t Word32(const std::string& bytes) {
  uint32_t n = 0;
  for (int i = 3; i >= 0; i--) n = n << 8 | (unsigned char)bytes[i];
  return n;
}

static ControlAnswer Success(const std::string& out) {
  ControlAnswer a;
  a.success = 1;
  a.out = out;
  return a;
}

static ControlAnswer SetMode(ParallelDevice* d, const ControlRequest& r) {
  if (r.in.size() != 4) return ControlFailure(ERR_INVALID_PARAMETER);
  uint32_t mode = Word32(r.in);
  if (mode != 3 && mode != 2) return ControlFailure(ERR_INVALID_PARAMETER);
  if (mode == 3 ? d->refuseEcp : d->refuseComp) return ControlFailure(d->refusal);
  d->mode = mode;
  return Success("");
}

static ControlAnswer QueryId(ParallelDevice* d, const ControlRequest& r) {
  uint32_t size = d->reportedIdSize ? d->reportedIdSize : (uint32_t)d->deviceId.size();
  if (d->idError) return ControlFailure(d->idError);
  if (r.code == PARALLEL_QUERY_ID_SIZE) {
    if (r.outLength < 4) return ControlFailure(ERR_INSUFFICIENT_BUFFER);
    return Success(std::string{char(size), char(size >> 8), char(size >> 16), char(size >> 24)});
  }
  if (r.in.size() != 4 || Word32(r.in) != size) return ControlFailure(ERR_INVALID_PARAMETER);
  if (r.outLength < size) return ControlFailure(ERR_INSUFFICIENT_BUFFER);
  std::string id = d->deviceId.substr(0, size);
  id.resize(size, '\0');
  return Success(id);
}

ControlAnswer ParallelControl(void* device, const ControlRequest& r) {
  ParallelDevice* d = static_cast<ParallelDevice*>(device);
  switch (r.code) {
    case PARALLEL_SET_MODE: return SetMode(d, r);
    case PARALLEL_SET_BLOCK_LENGTH:
      if (r.in.size() != 32) return ControlFailure(ERR_INVALID_PARAMETER);
      if (d->blockLengthError) return ControlFailure(d->blockLengthError);
      d->blockLength = Word32(r.in);
      return Success("");
    case PARALLEL_QUERY_ID_SIZE:
    case PARALLEL_QUERY_ID: return QueryId(d, r);
  }
  return ControlFailure(ERR_INVALID_FUNCTION);
}
