// The runtime behind observe.h: the four module contexts, bound from the start
// to malloc/free and to no log writer, and log steps that write nothing. The
// library's own runtime (src/runtime/context.cc, decode.cc) is the one that
// logs and looks up the OS layer; this one never does either.
#include <stdlib.h>

#include "context.h"
#include "decode.h"

namespace ssh_msg_def::internal {
namespace {

void *Allocate(uint32_t size, uint32_t, const char *) { return malloc(size); }
void Release(void *ptr, uint32_t, const char *) { free(ptr); }

constexpr uint32_t kByteOrder = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 1 : 0;

}  // namespace

#define SSH_MSG_DEF_SILENT_CONTEXT                                                                              \
    {                                                                                                           \
        {"ZIRKO", "ZIRKO_VANTOME_SERIAL", kModuleId}, PTHREAD_MUTEX_INITIALIZER, nullptr, Allocate, Release, 1, \
            PTHREAD_MUTEX_INITIALIZER, 1, Allocate, Release, Allocate, Release, kByteOrder                      \
    }

constinit Context gClientRecv = SSH_MSG_DEF_SILENT_CONTEXT;
constinit Context gClientSend = SSH_MSG_DEF_SILENT_CONTEXT;
constinit Context gServerRecv = SSH_MSG_DEF_SILENT_CONTEXT;
constinit Context gServerSend = SSH_MSG_DEF_SILENT_CONTEXT;

// Bound already: never called.
void BindPlatformHooks(Context &) {}
void BindCacheHooks(Context &) {}

const char kMallocFormat[] = "";
const char kMallocWideFormat[] = "";

void LogUnpackParams(Context &, const char *, const void *, uint32_t, const void *) {}
void LogRefusal(Context &, const char *, const char *, Rule, uint32_t, uint32_t, uint32_t) {}

}  // namespace ssh_msg_def::internal
