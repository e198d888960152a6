// The observed decoder of each message, for the checks that compare it with the
// library's own. Coverage builds compile this file without counters.
#include "invariants.h"

namespace smd_fuzz {

template <const smd::Schema *S>
bool Observe(const uint8_t *buf, uint32_t len, void *record, Refusals &seen) {
    return smd::Inspect<S>(buf, len, record, seen);
}

template bool Observe<&smd::kFileTrans>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kFileDir>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kConnectPara>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kSftpciMessage>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kPortList>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kForwardPort>(const uint8_t *, uint32_t, void *, Refusals &);
template bool Observe<&smd::kTcpForwordMessage>(const uint8_t *, uint32_t, void *, Refusals &);

}  // namespace smd_fuzz
