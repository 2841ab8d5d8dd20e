#include "platform/alloc.h"

SIZE_T FileBufferAllocLimit;

HGLOBAL AllocFileBuffer(SIZE_T bytes) {
  if (FileBufferAllocLimit && bytes > FileBufferAllocLimit) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
}
