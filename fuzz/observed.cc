// The observed decoder of each message, for the checks that compare it with the
// library's own. Coverage builds compile this file without counters.
#include "invariants.h"

namespace smd_fuzz {

template <const smd::Schema *S>
bool Observe(const uint8_t *buf, uint32_t len, void *record, Refusals &seen) {
    return smd::Decode<S>(*S->recv, buf, len, record, &seen);
}

#define SMD_OBSERVE(Ns, Msg, ...) template bool Observe<&smd::k##Msg>(const uint8_t *, uint32_t, void *, Refusals &);
SSH_MSG_DEF_MESSAGES(SMD_OBSERVE)

}  // namespace smd_fuzz
