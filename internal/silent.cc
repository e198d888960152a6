// The context of the observed decode (internal.h): bound already, so it never
// looks up the OS layer; no log writer, so its refusals write nothing; record
// memory from malloc and free.
#include <stdlib.h>

#include "internal.h"

namespace ssh_msg_def::internal {
namespace {

void *SilentAlloc(uint32_t size, uint32_t, const char *) { return malloc(size); }
void SilentFree(void *ptr, uint32_t, const char *) { free(ptr); }

}  // namespace

constinit Context gSilent = SSH_MSG_DEF_CONTEXT(SilentAlloc, SilentFree, 1);

}  // namespace ssh_msg_def::internal
