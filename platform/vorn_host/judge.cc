// The host framework's verdict on a delivered buffer: the library's decoder for
// its identifier, observed (internal.h) by an observer that notes nothing.
#include "judge.h"

#include "internal.h"

namespace {

struct Unobserved {
    void Item(ssh_msg_def::internal::Item, uint32_t, uint32_t, const char *) {}
    void Refuse(ssh_msg_def::internal::Rule, uint32_t, uint32_t) {}
};

}  // namespace

int vorn_host_judge(uint32_t msgId, const uint8_t *buf, uint32_t len) {
    Unobserved observer;
    return ssh_msg_def::internal::ObserveId(msgId, buf, len, observer);
}
