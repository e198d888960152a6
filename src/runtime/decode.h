// The generic decoder and release routine. One algorithm for every message,
// instantiated per schema: root decoders (self-contained or delegating), nested
// decoders (guarded or plain), the four field kinds and the release routine.
// Every read is preceded by its bound check (see wire.h); the first failing
// acceptance rule ends the decode, and the failure path releases whatever the
// record took, so a failed decode leaves a record that owns nothing.
//
// Speed: a root decoder reads the module's byte-order flag once and runs the
// instantiation for its value (InputAs), and every nested decoder, field and
// rule check is inlined into it, so a message decodes in one straight run of
// code: no call per field or per element except the allocator, no test of the
// flag per read, and checks that a parent already settled (the parameter check
// of a guarded nested decoder) fold away. Log lines are cold, out-of-line calls.
#ifndef SSH_MSG_DEF_RUNTIME_DECODE_H
#define SSH_MSG_DEF_RUNTIME_DECODE_H

#include <stdint.h>
#include <string.h>

#include <array>

#include "schema.h"
#include "securec.h"
#include "walk.h"
#include "wire.h"

namespace ssh_msg_def::internal {

struct Input {
    const uint8_t *buf;
    uint32_t len;  // below 2^31: the parameter check refuses anything larger
    bool swap;     // the receive module's byte-order flag
};

// An Input whose byte order is a compile-time constant. The rule checks below
// take either kind.
template <bool kSwap>
struct InputAs {
    const uint8_t *buf;
    uint32_t len;
    static constexpr bool swap = kSwap;
};

// What a decode reads, and the rule that ends it, can be told to an observer,
// so that inspection tools see a buffer exactly as the decoder walks it. The
// library's own decoders carry none: for them every note compiles to nothing.
enum class Item : uint8_t {
    kRootOffset,    // u32 at 0: the root table
    kVtableDelta,   // i32 at T: value V; name: the decoder's tag
    kVtableLength,  // u16 at V
    kSlot,          // u16 at V + 4 + 2i; name: the record member
    kScalar,        // u32 at P
    kOffset,        // u32 forward offset at P: value is its target
    kLength,        // u32 string length at S
    kText,          // the string's bytes at S + 4: value is their count
    kCount,         // u32 list count at W
    kElement,       // u32 element offset at W + 4 + 4i: value is its target
};

enum class Rule : uint8_t {
    kParams,        // missing buffer or record, or a length below 4 or above 2^31 - 1
    kTableOffset,   // value: the table offset, outside 4 to len - 4
    kVtableOffset,  // value: the vtable offset, outside 4 to len - 4
    kVtableLength,  // value: a vtable length running past the end
    kPastEnd,       // value: the bytes wanted at pos, past the end
    kWraps,         // value: a forward offset whose target wraps past 2^32
    kCount,         // value: a list count above 0x3FFFFFFF
    kNoMemory,      // value: the size of the allocation that failed
};

// An input with an observer: Item(item, pos, value, name) and Refuse(rule, pos,
// value) are called as the decoder goes.
template <bool kSwap, class Observer>
struct ObservedInput : InputAs<kSwap> {
    Observer *observer;
};

template <class In>
[[SSH_MSG_DEF_INLINE]] inline void Note(const In &in, Item item, uint32_t pos, uint32_t value,
                                        const char *name = nullptr) {
    if constexpr (requires { in.observer; }) in.observer->Item(item, pos, value, name);
}

template <class In>
[[SSH_MSG_DEF_INLINE]] inline void Refuse(const In &in, Rule rule, uint32_t pos, uint32_t value) {
    if constexpr (requires { in.observer; }) in.observer->Refuse(rule, pos, value);
}

// A table that passed acceptance rules 2 to 4.
struct TableView {
    uint32_t table;   // T
    uint32_t vtable;  // V
    uint32_t vtLen;   // VL; V + VL <= len
};

extern const char kMallocFormat[];      // root and guarded nested decoders
extern const char kMallocWideFormat[];  // plain nested decoders

// Rule 1: buffer and record not null, len read as a signed number at least 4.
inline bool ParamsValid(const void *buf, uint32_t len, const void *record) {
    return buf != nullptr && static_cast<int32_t>(len) >= 4 && record != nullptr;
}

// The decoder's log lines, each written in decode.cc only.
[[gnu::cold]] void LogUnpackParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record);
[[gnu::cold]] void LogTableOffset(Context &ctx, const char *tag, uint32_t table, uint32_t len);
[[gnu::cold]] void LogVtableOffset(Context &ctx, const char *tag, uint32_t vtable, uint32_t limit);
[[gnu::cold]] void LogVtableLen(Context &ctx, const char *tag, uint32_t vtLen, uint32_t limit);
[[gnu::cold]] void LogUnpackAlloc(Context &ctx, const char *tag, const char *mallocFormat, uint32_t size);

// The forward offset at P: P + 4 <= len and a target that does not wrap.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool FollowOffset(const In &in, uint32_t pos, uint32_t *target) {
    if (!Fits(pos, 4, in.len)) {
        Refuse(in, Rule::kPastEnd, pos, 4);
        return false;
    }
    const uint32_t offset = Load32(in.buf + pos, in.swap);
    if (!AddNoWrap(pos, offset, target)) {
        Refuse(in, Rule::kWraps, pos, offset);
        return false;
    }
    Note(in, Item::kOffset, pos, *target);
    return true;
}

// Rules 2 to 4 for the table at `table`, logged under `tag` on failure.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckTable(Context &ctx, const char *tag, const In &in, uint32_t table,
                                                         TableView *view) {
    // len >= 4 here, so len - 4 cannot wrap.
    if (table < 4 || table > in.len - 4) [[unlikely]] {
        LogTableOffset(ctx, tag, table, in.len);
        Refuse(in, Rule::kTableOffset, table, table);
        return false;
    }
    const uint32_t vtable = table - Load32(in.buf + table, in.swap);  // modulo 2^32: the delta may be negative
    Note(in, Item::kVtableDelta, table, vtable, tag);
    // vtable < 4 || vtable > len - 4, in one unsigned comparison: 4 <= T <= len - 4
    // gives len >= 8, and a V below 4 wraps to above len - 8.
    if (vtable - 4 > in.len - 8) [[unlikely]] {
        LogVtableOffset(ctx, tag, vtable, in.len - 4);
        Refuse(in, Rule::kVtableOffset, table, vtable);
        return false;
    }
    const uint32_t vtLen = Load16(in.buf + vtable, in.swap);
    Note(in, Item::kVtableLength, vtable, vtLen);
    // VL > len - V, as V + VL > len in 64 bits (V <= len here, no sum wraps).
    if (static_cast<uint64_t>(vtable) + vtLen > in.len) [[unlikely]] {
        LogVtableLen(ctx, tag, vtLen, in.len - vtable);
        Refuse(in, Rule::kVtableLength, vtable, vtLen);
        return false;
    }
    *view = {table, vtable, vtLen};
    return true;
}

// The 4 bytes at `pos` lie inside the buffer.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckWord(const In &in, uint32_t pos) {
    if (Fits(pos, 4, in.len)) return true;
    Refuse(in, Rule::kPastEnd, pos, 4);
    return false;
}

// The header word that the forward offset at field position P reaches (a
// string's length, a vector's count): its position and value, once it is known
// to lie inside the buffer.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool ReadHeader(const In &in, uint32_t pos, Item item, uint32_t *at,
                                                         uint32_t *value) {
    if (!FollowOffset(in, pos, at) || !CheckWord(in, *at)) return false;
    *value = Load32(in.buf + *at, in.swap);
    Note(in, item, *at, *value);
    return true;
}

// The string rule for field position P: the text's position and its length L,
// once the length word and the L bytes are known to lie inside the buffer.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckString(const In &in, uint32_t pos, uint32_t *text,
                                                          uint32_t *length) {
    uint32_t at, len;
    if (!ReadHeader(in, pos, Item::kLength, &at, &len)) return false;
    if (len > in.len - at - 4) {
        Refuse(in, Rule::kPastEnd, at + 4, len);
        return false;
    }
    Note(in, Item::kText, at + 4, len);
    *text = at + 4;
    *length = len;
    return true;
}

// The string at field position P: checks, allocates L + 1 bytes from the cache
// allocator into *out (logging `mallocFormat` when that fails) and copies.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeString(Context &ctx, const char *tag, const char *mallocFormat,
                                                           const In &in, uint32_t pos, char **out) {
    uint32_t text, len;
    if (!CheckString(in, pos, &text, &len)) return false;
    auto *copy = static_cast<char *>(ctx.cacheAlloc(len + 1, kCacheArg, tag));
    *out = copy;
    if (copy == nullptr) [[unlikely]] {
        LogUnpackAlloc(ctx, tag, mallocFormat, len + 1);
        Refuse(in, Rule::kNoMemory, text, len + 1);
        return false;
    }
    if (len > 0) (void)memcpy_sOptAsm(copy, len, in.buf + text, len);
    copy[len] = '\0';
    return true;
}

// The vector header at field position P: its count word position W and count N,
// once every element offset is known to lie inside the buffer.
template <class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckVector(const In &in, uint32_t pos, uint32_t *countPos,
                                                          uint32_t *count) {
    uint32_t at, n;
    if (!ReadHeader(in, pos, Item::kCount, &at, &n)) return false;
    if (n > 0x3FFFFFFF) {
        Refuse(in, Rule::kCount, at, n);
        return false;
    }
    if (4 * n > in.len - at - 4) {
        Refuse(in, Rule::kPastEnd, at + 4, 4 * n);
        return false;
    }
    *countPos = at;
    *count = n;
    return true;
}

// Whether the vtable of a checked table is long enough to hold field slot i.
[[SSH_MSG_DEF_INLINE]] inline bool HasSlot(const TableView &t, uint32_t i) { return t.vtLen >= 6 + 2 * i; }

// Sets a record to zero, 64 bytes at a time: fixed-size fills the compiler
// writes as a few vector stores (one fill of a large record becomes a string
// instruction, slow to start for a hundred bytes).
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline void ZeroRecord(void *record) {
    constexpr uint32_t kChunk = 64;
    [&]<size_t... I>(std::index_sequence<I...>) SSH_MSG_DEF_INLINE_LAMBDA {
        (memset(static_cast<uint8_t *>(record) + I * kChunk, 0,
                (I + 1) * kChunk <= S->recordSize ? kChunk : S->recordSize - I * kChunk),
         ...);
    }
    (std::make_index_sequence<(S->recordSize + kChunk - 1) / kChunk>{});
}

template <const Schema *S>
void ReleaseRecord(void *record);
template <const Schema *S, bool kZeroed = false, class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeTable(const In &in, uint32_t table, void *record);

template <const Schema *E, class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeVector(const char *tag, const char *mallocFormat, const In &in,
                                                           uint32_t pos, uint32_t *count, void **array) {
    // N < 2^29 once CheckVector passed (4 bytes of offsets per element inside a
    // buffer below 2^31), so N times an element of at most 8 bytes fits 32 bits.
    static_assert(E->recordSize <= 8);
    Context &ctx = *E->recv;
    uint32_t w, n;
    if (!CheckVector(in, pos, &w, &n)) return false;
    *count = n;
    if (n == 0) return true;
    const uint32_t bytes = n * E->recordSize;
    auto *elements = static_cast<uint8_t *>(ctx.cacheAlloc(bytes, kCacheArg, tag));
    *array = elements;
    if (elements == nullptr) [[unlikely]] {
        LogUnpackAlloc(ctx, tag, mallocFormat, bytes);
        Refuse(in, Rule::kNoMemory, w, bytes);
        return false;
    }
    (void)memset_s(elements, bytes, 0, bytes);
    for (uint32_t i = 0; i < n; ++i) {
        // W + 4 + 4N <= len bounds every element offset, so only the target can
        // go wrong here.
        const uint32_t at = w + 4 + 4 * i;
        const uint32_t offset = Load32(in.buf + at, in.swap);
        uint32_t table;
        if (!AddNoWrap(at, offset, &table)) {
            Refuse(in, Rule::kWraps, at, offset);
            return false;
        }
        Note(in, Item::kElement, at, table);
        // table >= at > W >= 4: tells the compiler that the element's table
        // check cannot fail on its lower bound.
        if (table < 4) __builtin_unreachable();
        if (!DecodeTable<E, true>(in, table, elements + static_cast<size_t>(i) * E->recordSize)) return false;
    }
    return true;
}

// Decodes the fields of a checked table in slot order; absent slots keep the
// zero their record already holds. `slots` holds the field slots as the buffer
// does (the vtable itself, or a copy padded with absent slots), so no slot is
// tested against the vtable length here.
template <const Schema *S, class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeSlots(const In &in, const TableView &t, const uint8_t *slots,
                                                          void *record, const char *tag, const char *mallocFormat) {
    return AllSlots<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr Field f = S->fields[decltype(slot)::value];
        constexpr uint32_t i = decltype(slot)::value;
        const uint16_t at = Load16(slots + 2 * i, in.swap);
        if constexpr (requires { in.observer; }) {
            if (HasSlot(t, i)) Note(in, Item::kSlot, t.vtable + 4 + 2 * i, at, f.name);
        }
        if (at == 0) return true;
        const uint32_t pos = t.table + at;  // T <= len - 4 < 2^31: cannot wrap
        if constexpr (f.kind == Kind::kScalar) {
            if (!CheckWord(in, pos)) return false;
            Member<uint32_t>(record, f.offset) = Load32(in.buf + pos, in.swap);
            Note(in, Item::kScalar, pos, Member<uint32_t>(record, f.offset), f.name);
            return true;
        } else if constexpr (f.kind == Kind::kString) {
            return DecodeString(*S->recv, tag, mallocFormat, in, pos, &Member<char *>(record, f.offset));
        } else if constexpr (f.kind == Kind::kTable) {
            uint32_t table;
            return FollowOffset(in, pos, &table) && DecodeTable<f.nested>(in, table, &Member<char>(record, f.offset));
        } else {
            return DecodeVector<f.nested>(tag, mallocFormat, in, pos, &Member<uint32_t>(record, f.offset),
                                          &Member<void *>(record, f.arrayOffset));
        }
    });
}

// The field slots of an all-scalar table in its dense form (slot i holds
// 4 + 4i), as the buffer holds them in byte order kSwap.
template <const Schema *S, bool kSwap>
inline constexpr auto kDenseSlots = [] {
    std::array<uint16_t, S->slotCount> slots{};
    for (uint16_t i = 0; i < S->slotCount; ++i) {
        const auto v = static_cast<uint16_t>(4 + 4 * i);
        slots[i] = kSwap ? __builtin_bswap16(v) : v;
    }
    return slots;
}();

template <const Schema *S, class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeFields(const In &in, const TableView &t, void *record,
                                                           const char *tag, const char *mallocFormat) {
    constexpr uint32_t kSlotBytes = 2 * S->slotCount;
    static_assert(kSlotBytes > 0);
    const uint8_t *slots = in.buf + t.vtable + 4;
    if constexpr (AllScalars(*S) && !requires { in.observer; }) {
        // The dense form, the one every writer gives a table whose fields are
        // all non-zero (each list element, usually): one comparison settles the
        // slots and one bound the scalars. Anything else, a failure included,
        // takes the field-by-field walk below, which decides the same way.
        constexpr auto &dense = kDenseSlots<S, In::swap>;
        if (HasSlot(t, S->slotCount - 1) && memcmp(slots, dense.data(), sizeof dense) == 0 &&
            Fits(t.table + 4, 4 * S->slotCount, in.len)) [[likely]] {
            if constexpr (!In::swap && ScalarsPacked(*S)) {
                memcpy(&Member<uint32_t>(record, S->fields[0].offset), in.buf + t.table + 4, 4 * S->slotCount);
            } else {
                ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
                    constexpr uint32_t i = decltype(slot)::value;
                    Member<uint32_t>(record, S->fields[i].offset) = Load32(in.buf + t.table + 4 + 4 * i, in.swap);
                });
            }
            return true;
        }
    }
    if (HasSlot(t, S->slotCount - 1)) [[likely]] {
        return DecodeSlots<S>(in, t, slots, record, tag, mallocFormat);
    }
    // A short vtable (the writer never makes one): the slots it has, then absent
    // ones; an odd last byte and a length below 4 hold no slot.
    uint8_t padded[kSlotBytes] = {};
    if (t.vtLen > 4) memcpy(padded, slots, (t.vtLen - 4) & ~1u);
    return DecodeSlots<S>(in, t, padded, record, tag, mallocFormat);
}

// The nested decoder of S for the table at `table`. kZeroed: the record is a
// vector element, zero already, so zeroing it again would change nothing.
template <const Schema *S, bool kZeroed, class In>
inline bool DecodeTable(const In &in, uint32_t table, void *record) {
    constexpr bool kGuarded = S->nested == NestedForm::kGuarded;
    static_assert(S->nested != NestedForm::kNone, "message is never nested");
    Context &ctx = *S->recv;
    const char *tag = S->tags.nested;
    if constexpr (kGuarded) {
        if (!ParamsValid(in.buf, in.len, record)) [[unlikely]] {
            LogUnpackParams(ctx, tag, in.buf, in.len, record);
            return false;
        }
    }
    TableView t;
    if (!CheckTable(ctx, tag, in, table, &t)) return false;
    if constexpr (kGuarded && !kZeroed) ZeroRecord<S>(record);
    if (DecodeFields<S>(in, t, record, tag, kGuarded ? kMallocFormat : kMallocWideFormat)) [[likely]] {
        return true;
    }
    if constexpr (kGuarded && OwnsMemory(*S)) ReleaseRecord<S>(record);
    return false;
}

// The nested decoder as a function of its own, for the module's flag in `in`.
template <const Schema *S>
[[nodiscard]] bool DecodeNested(const Input &in, uint32_t table, void *record) {
    if (in.swap) return DecodeTable<S>(InputAs<true>{in.buf, in.len}, table, record);
    return DecodeTable<S>(InputAs<false>{in.buf, in.len}, table, record);
}

// The root decoder once its parameters passed.
template <const Schema *S, class In>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool UnpackRoot(const In &in, void *record) {
    Context &ctx = *S->recv;
    const uint32_t root = Load32(in.buf, in.swap);
    Note(in, Item::kRootOffset, 0, root);
    bool ok;
    if constexpr (S->root == RootForm::kSelfContained) {
        TableView t;
        if (!CheckTable(ctx, S->tags.unpack, in, root, &t)) return false;
        resolve_cache_hooks(ctx);
        ZeroRecord<S>(record);
        ok = DecodeFields<S>(in, t, record, S->tags.unpack, kMallocFormat);
    } else {
        resolve_cache_hooks(ctx);
        ZeroRecord<S>(record);
        ok = DecodeTable<S>(in, root, record);
    }
    if constexpr (OwnsMemory(*S)) {
        if (!ok) [[unlikely]]
            ReleaseRecord<S>(record);
    }
    return ok;
}

// The root decoder: true with a filled record, false with a record that owns
// nothing (untouched, zeroed, or released with the scalars read so far).
template <const Schema *S>
[[nodiscard]] bool Unpack(const uint8_t *buf, uint32_t len, void *record) {
    Context &ctx = *S->recv;
    if (!ParamsValid(buf, len, record)) [[unlikely]] {
        LogUnpackParams(ctx, S->tags.unpack, buf, len, record);
        return false;
    }
    if (ctx.byteOrder != 0) return UnpackRoot<S>(InputAs<true>{buf, len}, record);
    return UnpackRoot<S>(InputAs<false>{buf, len}, record);
}

// Unpack with an observer told every item read and the rule that refused the
// buffer, if one did. For inspection tools; the decode itself is Unpack's.
template <const Schema *S, class Observer>
bool Inspect(const uint8_t *buf, uint32_t len, void *record, Observer &observer) {
    if (!ParamsValid(buf, len, record)) {
        LogUnpackParams(*S->recv, S->tags.unpack, buf, len, record);
        observer.Refuse(Rule::kParams, 0, len);
        return false;
    }
    if (S->recv->byteOrder != 0) return UnpackRoot<S>(ObservedInput<true, Observer>{{buf, len}, &observer}, record);
    return UnpackRoot<S>(ObservedInput<false, Observer>{{buf, len}, &observer}, record);
}

// The release routine: gives back every string and array the record owns, in
// slot order, through the cache hooks, and nulls them. Strings reach cacheFree
// even when null; arrays only when set. Scalars and counts stay. Inlined into
// `_free__unpacked`, with the routines of the nested records inlined into it;
// ReleaseRecord below is the same routine out of line, for failure paths.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline void ReleaseInline(void *record) {
    Context &ctx = *S->recv;
    resolve_cache_hooks(ctx);
    ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr Field f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kString) {
            char *&s = Member<char *>(record, f.offset);
            ctx.cacheFree(s, kCacheArg, S->tags.release);
            s = nullptr;
        } else if constexpr (f.kind == Kind::kVector) {
            void *&a = Member<void *>(record, f.arrayOffset);
            if (a != nullptr) {
                ctx.cacheFree(a, kCacheArg, S->tags.release);
                a = nullptr;
            }
        } else if constexpr (f.kind == Kind::kTable && OwnsMemory(*f.nested)) {
            ReleaseInline<f.nested>(&Member<char>(record, f.offset));
        }
    });
}

template <const Schema *S>
void ReleaseRecord(void *record) {
    ReleaseInline<S>(record);
}

// `_free__unpacked`: ignores null; a message whose records own nothing does
// nothing at all.
template <const Schema *S>
void FreeUnpacked(void *record) {
    if constexpr (OwnsMemory(*S)) {
        if (record != nullptr) ReleaseInline<S>(record);
    }
}

}  // namespace ssh_msg_def::internal

// The two exported receive functions of a message.
#define SSH_MSG_DEF_RECV_OPS(Rec, schema)                                                 \
    extern "C" uint32_t Rec##__unpack(const uint8_t *buffer, uint32_t len, Rec *record) { \
        (void)::ssh_msg_def::internal::Unpack<&(schema)>(buffer, len, record);            \
        return sizeof(Rec);                                                               \
    }                                                                                     \
    extern "C" void Rec##_free__unpacked(Rec *record) { ::ssh_msg_def::internal::FreeUnpacked<&(schema)>(record); }

#endif
