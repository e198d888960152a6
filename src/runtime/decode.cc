// Non-template parts of the decoder: the table, string and vector checks shared
// by every schema, and the log lines they write.
#include "decode.h"

namespace ssh_msg_def::internal {

const char kMallocFormat[] = "[ZIRKO]:Malloc unpack data unsuccess, size(%u)";
const char kMallocWideFormat[] = "[ZIRKO]:Malloc unpack data unsuccess,                size(%u)";

void LogUnpackParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Param invalid(%s, %d, %s)", NullName(buf),
                    static_cast<int32_t>(len), NullName(record));
}

bool CheckTable(Context &ctx, const char *tag, const Input &in, uint32_t table, TableView *view) {
    // len >= 4 here, so len - 4 cannot wrap.
    if (table < 4 || table > in.len - 4) {
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Table offset(%u) is out of range(4 - %u)", table, in.len);
        return false;
    }
    const uint32_t vtable = table - Load32(in.buf + table, in.swap);  // modulo 2^32: the delta may be negative
    if (vtable < 4 || vtable > in.len - 4) {
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable offset(%u) is out of range(4 - %u)", vtable,
                        in.len - 4);
        return false;
    }
    const uint32_t vtLen = Load16(in.buf + vtable, in.swap);
    if (vtLen > in.len - vtable) {
        SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Vtable Len(%u) is out of range(0 - %u)", vtLen,
                        in.len - vtable);
        return false;
    }
    *view = {table, vtable, vtLen};
    return true;
}

bool DecodeString(Context &ctx, const char *tag, const char *mallocFormat, const Input &in, uint32_t pos, char **out) {
    uint32_t at;
    if (!FollowOffset(in, pos, &at) || !Fits(at, 4, in.len)) return false;
    const uint32_t len = Load32(in.buf + at, in.swap);
    if (len > in.len - at - 4) return false;
    auto *copy = static_cast<char *>(ctx.cacheAlloc(len + 1, kCacheArg, tag));
    *out = copy;
    if (copy == nullptr) {
        SSH_MSG_DEF_LOG(ctx, kCodeNoMemory, tag, mallocFormat, len + 1);
        return false;
    }
    if (len > 0) (void)memcpy_sOptAsm(copy, len, in.buf + at + 4, len);
    copy[len] = '\0';
    return true;
}

bool CheckVector(const Input &in, uint32_t pos, uint32_t *countPos, uint32_t *count) {
    uint32_t at;
    if (!FollowOffset(in, pos, &at) || !Fits(at, 4, in.len)) return false;
    const uint32_t n = Load32(in.buf + at, in.swap);
    if (n > 0x3FFFFFFF || 4 * n > in.len - at - 4) return false;
    *countPos = at;
    *count = n;
    return true;
}

}  // namespace ssh_msg_def::internal
