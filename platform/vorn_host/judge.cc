// The host framework's verdict on a delivered buffer: the library's decoder for
// its identifier, run with an observer that notes nothing (internal.h).
#include "judge.h"

#include "internal.h"

namespace {

struct Unobserved final : ssh_msg_def::internal::Observer {};

}  // namespace

int vorn_host_judge(uint32_t msgId, const uint8_t *buf, uint32_t len) {
    Unobserved observer;
    return ssh_msg_def::internal::ObserveId(msgId, buf, len, observer);
}
