// The context of the observed decode (internal.h): bound already, so it never
// looks up the OS layer; no log writer, so its refusals write nothing; record
// memory from malloc and free.
#include <stdlib.h>

#include "internal.h"

namespace ssh_msg_def::internal {
namespace {

void *Allocate(uint32_t size, uint32_t, const char *) { return malloc(size); }
void Release(void *ptr, uint32_t, const char *) { free(ptr); }

}  // namespace

constinit Context gSilent = {{"ZIRKO", "ZIRKO_VANTOME_SERIAL", kModuleId},
                             PTHREAD_MUTEX_INITIALIZER,
                             nullptr,
                             Allocate,
                             Release,
                             {1},
                             PTHREAD_MUTEX_INITIALIZER,
                             {1},
                             Allocate,
                             Release,
                             Allocate,
                             Release,
                             __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__};

}  // namespace ssh_msg_def::internal
