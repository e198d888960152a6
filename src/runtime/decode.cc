// Non-template parts of the decoder: the log lines of its failures, out of the
// inlined decoding code.
#include "decode.h"

namespace ssh_msg_def::internal {

const char kMallocFormat[] = "[ZIRKO]:Malloc unpack data unsuccess, size(%u)";
const char kMallocWideFormat[] = "[ZIRKO]:Malloc unpack data unsuccess,                size(%u)";

void LogUnpackParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Param invalid(%s, %d, %s)", NullName(buf),
                    static_cast<int32_t>(len), NullName(record));
}

void LogTableOffset(Context &ctx, const char *tag, uint32_t table, uint32_t len) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Table offset(%u) is out of range(4 - %u)", table, len);
}

void LogVtableOffset(Context &ctx, const char *tag, uint32_t vtable, uint32_t limit) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable offset(%u) is out of range(4 - %u)", vtable, limit);
}

void LogVtableLen(Context &ctx, const char *tag, uint32_t vtLen, uint32_t limit) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable Len(%u) is out of range(0 - %u)", vtLen, limit);
}

void LogUnpackAlloc(Context &ctx, const char *tag, const char *mallocFormat, uint32_t size) {
    SSH_MSG_DEF_LOG(ctx, kCodeNoMemory, tag, mallocFormat, size);
}

}  // namespace ssh_msg_def::internal
