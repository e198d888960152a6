/* The host framework's verdict on a delivered buffer (judge.cc). Hidden: not
 * part of libvorn_host.so's interface. */
#ifndef SSH_MSG_DEF_VORN_HOST_JUDGE_H
#define SSH_MSG_DEF_VORN_HOST_JUDGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the library's decoder for msgId accepts the `len` bytes at `buf`, 0
 * when it refuses them, -1 when the library defines no message msgId. Logs
 * nothing; record memory comes from malloc. */
__attribute__((visibility("hidden"))) int vorn_host_judge(uint32_t msgId, const uint8_t *buf, uint32_t len);

#ifdef __cplusplus
}
#endif

#endif
