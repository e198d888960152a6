// Non-template part of the decoder: the log line of a refusal, with the code
// and format of its report (refusal.h), out of the inlined decoding code. The
// lines keep their source lines: 11 for the parameters, 19, 21 and 23 for the
// table checks, 25 for a failed allocation.
#include "decode.h"

namespace ssh_msg_def::internal {

void LogRefusal(Context &ctx, const char *tag, bool plain, Rule rule, uint32_t pos, uint32_t value, uint32_t len) {
    if (const Report r = DecoderReport(plain, rule); rule == Rule::kParams) {  // value: the length
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, GivenName(pos, kBufferGiven), static_cast<int32_t>(value),
                        GivenName(pos, kRecordGiven));
    } else if (rule == Rule::kTableOffset) {
        // Refuse calls this for the rules whose report has a line only: the
        // parameters, the three table checks and a failed allocation. Each
        // line takes its rule's arguments: the table offset and the buffer's
        // length; the vtable offset and the length less 4; the vtable length
        // and the bytes from the vtable to the end; the size that failed.
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len);
    } else if (rule == Rule::kVtableOffset) {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len - 4);
    } else if (rule == Rule::kVtableLength) {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len - pos);
    } else {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value);
    }
}

template bool RefuseParams<void>(Context &, const char *, const uint8_t *, uint32_t, const void *, void *);

}  // namespace ssh_msg_def::internal
