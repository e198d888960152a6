// The wire format and its primitives. A buffer starts with the u32 position of
// its root table T. A table starts with an i32 delta back to its vtable,
// V = T - delta; the vtable holds its own length VL (u16), the table's length
// (u16), then one u16 slot per field: the field's position from T, or 0 when
// the field is absent. A field is a u32 scalar in the table, or a u32 forward
// offset from its own position to a string (u32 length, the bytes, a NUL), to
// a nested table, or to a list (u32 count, then one forward offset per element
// table). Every integer is little-endian, byte-reversed on a big-endian host.
// Nothing is aligned, so every access goes through memcpy.
#ifndef SSH_MSG_DEF_RUNTIME_WIRE_H
#define SSH_MSG_DEF_RUNTIME_WIRE_H

#include <stdint.h>
#include <string.h>

#include <array>

namespace ssh_msg_def::internal {

inline constexpr uint32_t kWord = 4;  // a u32: scalar, forward offset, vtable delta, length or count

// The vtable of a table of k fields, as the writer makes it.
constexpr uint32_t VtableSize(uint32_t k) { return 4 + 2 * k; }
// Slot i's position in its vtable, and the vtable length that holds it.
constexpr uint32_t SlotAt(uint32_t i) { return 4 + 2 * i; }
constexpr uint32_t SlotEnd(uint32_t i) { return SlotAt(i) + 2; }
// The dense form of a table whose k fields are all scalars and present (every
// list element, usually): field i at T + 4 + 4i, the table 4 + 4k bytes long.
constexpr uint32_t DenseFieldAt(uint32_t i) { return kWord + 4 * i; }
constexpr uint32_t DenseTableSize(uint32_t k) { return kWord + 4 * k; }
// The vtable and vtable delta of such a table when its vtable lies directly
// before it, as the buffer holds them (little-endian, whatever the host): what
// the writer puts before the scalars, and what the readers compare with. Each
// value fits its low byte. Every byte is written, zeros included: written
// whole, the head stays one constant in read-only data (written in part, it is
// built in code). The delta goes first, so a slot written past the last one
// would show in it.
template <uint32_t kSlots>
inline constexpr auto kDenseHead = [] {
    static_assert(DenseTableSize(kSlots) < 256, "the head's values fit a byte each");
    std::array<uint8_t, VtableSize(kSlots) + kWord> head{};
    auto put16 = [&](uint32_t at, uint32_t v) { head[at] = static_cast<uint8_t>(v), head[at + 1] = 0; };
    put16(0, VtableSize(kSlots));
    put16(2, DenseTableSize(kSlots));
    put16(VtableSize(kSlots), VtableSize(kSlots));
    put16(VtableSize(kSlots) + 2, 0);
    for (uint32_t i = 0; i < kSlots; ++i) put16(SlotAt(i), DenseFieldAt(i));
    return head;
}();
// Bytes of a string of `len` bytes at its target: length word, bytes, NUL.
constexpr uint64_t StringSize(uint64_t len) { return kWord + len + 1; }

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
[[nodiscard]] inline bool InBounds(uint32_t pos, uint32_t n, uint32_t len) { return n <= len && pos <= len - n; }

}  // namespace ssh_msg_def::internal

#endif
