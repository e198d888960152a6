// The observed decoder of each message: the library's decoder instantiated for
// the tools with an observer. Coverage builds compile this file without
// counters, since coverage measures the library's own copies.
#include "messages.h"

namespace ssh_msg_def::internal {

template <const Schema *S>
bool Observed(Context &ctx, const uint8_t *buf, uint32_t len, void *record, Observer &observer) {
    return Decode<S>(ctx, buf, len, record, &observer);
}

#define SSH_MSG_DEF_OBSERVED(Ns, Msg, ...) \
    template bool Observed<&k##Msg>(Context &, const uint8_t *, uint32_t, void *, Observer &);
SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_OBSERVED)
#undef SSH_MSG_DEF_OBSERVED

bool Inspect(const Message &m, const uint8_t *buf, uint32_t len, Observer &observer) {
    bool accepted = false;
    ForEachMessage([&]<const Schema * S>() {
        if (&m.schema == S) accepted = Observe<S>(buf, len, observer);
    });
    return accepted;
}

}  // namespace ssh_msg_def::internal
