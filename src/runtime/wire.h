// Wire primitives: unaligned little-endian loads and stores, byte-reversed when
// the module's byte-order flag is set, and the unsigned 32-bit range tests that
// every acceptance rule is built from. Nothing in a buffer is aligned, so every
// access goes through memcpy.
#ifndef SSH_MSG_DEF_RUNTIME_WIRE_H
#define SSH_MSG_DEF_RUNTIME_WIRE_H

#include <stdint.h>
#include <string.h>

namespace ssh_msg_def::internal {

inline uint32_t Load32(const uint8_t *p, bool swap) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return swap ? __builtin_bswap32(v) : v;
}

inline uint16_t Load16(const uint8_t *p, bool swap) {
    uint16_t v;
    memcpy(&v, p, sizeof v);
    return swap ? __builtin_bswap16(v) : v;
}

inline void Store32(uint8_t *p, uint32_t v, bool swap) {
    if (swap) v = __builtin_bswap32(v);
    memcpy(p, &v, sizeof v);
}

inline void Store16(uint8_t *p, uint16_t v, bool swap) {
    if (swap) v = __builtin_bswap16(v);
    memcpy(p, &v, sizeof v);
}

// a + b in 32 bits; false when the sum wraps past 2^32.
[[nodiscard]] inline bool AddNoWrap(uint32_t a, uint32_t b, uint32_t *sum) {
    return !__builtin_add_overflow(a, b, sum);
}

// pos + n <= len, written so that it cannot overflow.
[[nodiscard]] inline bool Fits(uint32_t pos, uint32_t n, uint32_t len) { return n <= len && pos <= len - n; }

}  // namespace ssh_msg_def::internal

#endif
