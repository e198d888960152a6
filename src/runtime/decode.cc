// Non-template parts of the decoder: the log lines of its refusals, out of the
// inlined decoding code.
#include "decode.h"

namespace ssh_msg_def::internal {

const char kMallocFormat[] = "[ZIRKO]:Malloc unpack data unsuccess, size(%u)";
const char kMallocWideFormat[] = "[ZIRKO]:Malloc unpack data unsuccess,                size(%u)";

void LogUnpackParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Param invalid(%s, %d, %s)", NullName(buf),
                    static_cast<int32_t>(len), NullName(record));
}

void LogRefusal(Context &ctx, const char *tag, const char *mallocFormat, Rule rule, uint32_t pos, uint32_t value,
                uint32_t len) {
    // Refuse calls this for the table checks and failed allocations only.
    if (rule == Rule::kTableOffset) {
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Table offset(%u) is out of range(4 - %u)", value, len);
    } else if (rule == Rule::kVtableOffset) {
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable offset(%u) is out of range(4 - %u)", value, len - 4);
    } else if (rule == Rule::kVtableLength) {  // pos: the vtable
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable Len(%u) is out of range(0 - %u)", value, len - pos);
    } else {
        SSH_MSG_DEF_LOG(ctx, kCodeNoMemory, tag, mallocFormat, value);
    }
}

}  // namespace ssh_msg_def::internal
