// The generic decoder and release routine: one algorithm for every message,
// instantiated per schema. Every read is preceded by its bound check; the first
// check that fails ends the decode (Refuse), and the failure path releases
// whatever the record took, so a failed decode leaves a record that owns
// nothing.
//
// Speed: the byte order is the host's, known at compile time (context.h), and
// every field, check and list element is inlined into the decoder of its
// table: no call per field or per element except the allocator. A record held
// by value has one out-of-line decoder, shared by its holder and its own root.
// Log lines are cold, out-of-line calls.
#ifndef SSH_MSG_DEF_RUNTIME_DECODE_H
#define SSH_MSG_DEF_RUNTIME_DECODE_H

#include <stdint.h>
#include <string.h>

#include <array>
#include <type_traits>

#include "bounds_checked.h"
#include "refusal.h"
#include "schema.h"
#include "walk.h"
#include "wire.h"

namespace ssh_msg_def::internal {

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

// Everything a decode carries down to its reads and checks: the buffer and,
// for a refusal, the module that logs it, the tag of the decoder at work and
// which line its failed allocation logs (refusal.h). The byte order is a compile-time
// constant. An Observer, when there is one, has Item(item, pos, value, name)
// and Refuse(rule, pos, value) called as the decode goes.
template <bool kSwap, class Observer = void>
struct Frame {
    const uint8_t *buf;
    uint32_t len;  // 4 to 2^31 - 1: the parameter check refuses anything else
    Context *ctx;
    const char *tag;
    bool wideMallocLine = false;  // the frame of a nested decoder whose holder releases its record
    Observer *observer;
    static constexpr bool swap = kSwap;
    static constexpr bool kObserved = !std::is_void_v<Observer>;

    // The frame of S's nested decoder, on the same buffer.
    template <const Schema *S>
    [[SSH_MSG_DEF_INLINE]] Frame Nested() const {
        return {buf, len, ctx, S->tags.nested, S->nested == NestedForm::kHolderReleases, observer};
    }
};

template <class F>
[[SSH_MSG_DEF_INLINE]] inline void Note(const F &f, Item item, uint32_t pos, uint32_t value,
                                        const char *name = nullptr) {
    if constexpr (F::kObserved) f.observer->Item(item, pos, value, name);
}

// Ends a decode: writes the log line its report has, if any (refusal.h), and
// tells the observer. Returns false, for the caller to return.
template <Rule kRule, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool Refuse(const F &f, uint32_t pos, uint32_t value) {
    if constexpr (Logged(kRule)) LogRefusal(*f.ctx, f.tag, f.wideMallocLine, kRule, pos, value, f.len);
    if constexpr (F::kObserved) f.observer->Refuse(kRule, pos, value);
    return false;
}

// Buffer and record not null, and a length that read as a signed number is at least 4.
inline bool ParamsValid(const void *buf, uint32_t len, const void *record) {
    return buf != nullptr && static_cast<int32_t>(len) >= 4 && record != nullptr;
}

// A table whose vtable lies inside the buffer.
struct TableView {
    uint32_t table;   // T
    uint32_t vtable;  // V
    uint32_t vtLen;   // VL; V + VL <= len
};

// The forward offset at P: P + 4 <= len and a target that does not wrap.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool FollowOffset(const F &f, uint32_t pos, uint32_t *target) {
    if (!InBounds(pos, kWord, f.len)) return Refuse<Rule::kPastEnd>(f, pos, kWord);
    const uint32_t offset = Load32(f.buf + pos, f.swap);
    if (!AddNoWrap(pos, offset, target)) return Refuse<Rule::kWraps>(f, pos, offset);
    Note(f, Item::kOffset, pos, *target);
    return true;
}

// The table at `table`: its position, then its vtable's position and length,
// each inside the buffer.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckTable(const F &f, uint32_t table, TableView *view) {
    // len >= 4 here, so len - 4 cannot wrap.
    if (table < 4 || table > f.len - 4) [[unlikely]] {
        return Refuse<Rule::kTableOffset>(f, table, table);
    }
    const uint32_t vtable = table - Load32(f.buf + table, f.swap);  // modulo 2^32: the delta may be negative
    Note(f, Item::kVtableDelta, table, vtable, f.tag);
    // vtable < 4 || vtable > len - 4, in one unsigned comparison: 4 <= T <= len - 4
    // gives len >= 8, and a V below 4 wraps to above len - 8.
    if (vtable - 4 > f.len - 8) [[unlikely]] {
        return Refuse<Rule::kVtableOffset>(f, table, vtable);
    }
    const uint32_t vtLen = Load16(f.buf + vtable, f.swap);
    Note(f, Item::kVtableLength, vtable, vtLen);
    // VL > len - V, as V + VL > len in 64 bits (V <= len here, no sum wraps).
    if (static_cast<uint64_t>(vtable) + vtLen > f.len) [[unlikely]] {
        return Refuse<Rule::kVtableLength>(f, vtable, vtLen);
    }
    *view = {table, vtable, vtLen};
    return true;
}

// The word at `pos` lies inside the buffer.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool CheckWord(const F &f, uint32_t pos) {
    return InBounds(pos, kWord, f.len) || Refuse<Rule::kPastEnd>(f, pos, kWord);
}

// The header word that the forward offset at field position P reaches (a
// string's length, a list's count): its position and value, once it is known
// to lie inside the buffer.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool ReadHeader(const F &f, uint32_t pos, Item item, uint32_t *at,
                                                         uint32_t *value) {
    if (!FollowOffset(f, pos, at) || !CheckWord(f, *at)) return false;
    *value = Load32(f.buf + *at, f.swap);
    Note(f, item, *at, *value);
    return true;
}

// Allocates `size` bytes of record memory for the decode in frame f.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline void *Allocate(const F &f, uint32_t size) {
    return f.ctx->cacheAlloc(size, kCacheArg, f.tag);
}

// The string at field position P: its length L and L bytes inside the buffer,
// copied with a NUL into L + 1 bytes of record memory at *out.
template <class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeString(const F &f, uint32_t pos, char **out) {
    uint32_t at, len;
    if (!ReadHeader(f, pos, Item::kLength, &at, &len)) return false;
    const uint32_t text = at + kWord;
    if (len > f.len - text) return Refuse<Rule::kPastEnd>(f, text, len);
    Note(f, Item::kText, text, len);
    auto *copy = static_cast<char *>(Allocate(f, len + 1));
    *out = copy;
    if (copy == nullptr) [[unlikely]] {
        return Refuse<Rule::kNoMemory>(f, text, len + 1);
    }
    if (len > 0) (void)memcpy_sOptAsm(copy, len, f.buf + text, len);
    copy[len] = '\0';
    return true;
}

// Whether the vtable of a checked table holds field slot i.
[[SSH_MSG_DEF_INLINE]] inline bool HasSlot(const TableView &t, uint32_t i) { return t.vtLen >= SlotEnd(i); }

template <const Schema *S>
void ReleaseRecord(Context &ctx, void *record);
template <const Schema *S, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeTable(const F &parent, uint32_t table, void *record);
template <const Schema *S, class F>
[[nodiscard]] bool DecodeNestedRecord(const F &parent, uint32_t table, void *record);

// The scalars of a dense all-scalar table at `fields`, into its record.
template <const Schema *S, bool kSwap>
[[SSH_MSG_DEF_INLINE]] inline void CopyDense(const uint8_t *fields, void *record) {
    if constexpr (!kSwap && ScalarsPacked(*S)) {
        memcpy(&Member<uint32_t>(record, S->fields[0].offset), fields, 4 * S->slotCount);
    } else {
        ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
            constexpr uint32_t i = decltype(slot)::value;
            Member<uint32_t>(record, S->fields[i].offset) = Load32(fields + 4 * i, kSwap);
        });
    }
}

// An all-scalar element table as the writer lays it out: its dense form
// (every field present) with its vtable directly before it. Such a table
// passes every check of the element walk, in any order, when it lies at 4 + VL
// or further and its scalars end inside the buffer: its vtable then lies
// between 4 and the table, and ends at the table. Decodes it when it is one;
// anything else, a table that would be refused included, is left to the walk,
// which decides.
template <const Schema *E, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool WriterElement(const F &f, uint64_t table, void *record) {
    constexpr uint32_t kSlots = E->slotCount;
    constexpr uint32_t kVtLen = VtableSize(kSlots);
    constexpr uint32_t kFirst = kWord + kVtLen;                   // the least such table
    constexpr uint32_t kLeast = kFirst + DenseTableSize(kSlots);  // the least buffer holding one
    // kFirst <= table <= len - DenseTableSize, in one unsigned comparison.
    const uint64_t span = f.len >= kLeast ? f.len - kLeast + 1 : 0;
    if (table - kFirst >= span) return false;
    // Its vtable and delta, byte for byte as the writer puts them (the table
    // length too, which the walk never reads: another one goes to the walk).
    constexpr auto &head = kDenseHead<kSlots>;
    if (memcmp(f.buf + table - kVtLen, head.data(), sizeof head) != 0) return false;
    CopyDense<E, F::swap>(f.buf + table + DenseFieldAt(0), record);
    return true;
}

// The list at field position P: its count N at W, at most 0x3FFFFFFF, and its
// N element offsets inside the buffer; then the zeroed array of N records and
// each element's table decoded into it.
template <const Schema *E, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeList(const F &f, uint32_t pos, uint32_t *count, void **array) {
    // N < 2^29 once the offsets are known to fit (4 bytes each inside a buffer
    // below 2^31), so N times an element of at most 8 bytes fits 32 bits.
    static_assert(E->recordSize <= 8, "a list element is a record of uint32_t scalars, at most 8 bytes");
    uint32_t w, n;
    if (!ReadHeader(f, pos, Item::kCount, &w, &n)) return false;
    if (n > 0x3FFFFFFF) return Refuse<Rule::kCount>(f, w, n);
    if (4 * n > f.len - w - kWord) return Refuse<Rule::kPastEnd>(f, w + kWord, 4 * n);
    *count = n;
    if (n == 0) return true;
    const uint32_t bytes = n * E->recordSize;
    auto *elements = static_cast<uint8_t *>(Allocate(f, bytes));
    *array = elements;
    if (elements == nullptr) [[unlikely]] {
        return Refuse<Rule::kNoMemory>(f, w, bytes);
    }
    (void)memset_s(elements, bytes, 0, bytes);
    for (uint32_t i = 0; i < n; ++i) {
        // W + 4 + 4N <= len bounds every element offset, so only the target can
        // go wrong here. Its position in 64 bits: no zero extension per element.
        const uint64_t word = uint64_t{w} + kWord + uint64_t{4} * i;
        const uint32_t offset = Load32(f.buf + word, f.swap);
        uint8_t *const element = elements + static_cast<size_t>(i) * E->recordSize;
        if constexpr (AllScalars(*E) && !F::kObserved) {
            // The target in 64 bits: one past 2^32 is no writer's element, and
            // the walk below refuses it.
            if (WriterElement<E>(f, word + offset, element)) [[likely]] {
                continue;
            }
        }
        const uint32_t at = w + kWord + 4 * i;
        uint32_t table;
        if (!AddNoWrap(at, offset, &table)) return Refuse<Rule::kWraps>(f, at, offset);
        Note(f, Item::kElement, at, table);
        // table >= at > W >= 4: tells the compiler that the element's table
        // check cannot fail on its lower bound.
        if (table < kWord) __builtin_unreachable();
        if (!DecodeTable<E>(f, table, element)) return false;
    }
    return true;
}

// Decodes the fields of a checked table in slot order; absent slots keep the
// zero their record already holds. `slots` holds the field slots as the buffer
// does (the vtable itself, or a copy padded with absent slots), so no slot is
// tested against the vtable length here.
template <const Schema *S, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeSlots(const F &f, const TableView &t, const uint8_t *slots,
                                                          void *record) {
    return AllSlots<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr Field field = S->fields[decltype(slot)::value];
        constexpr uint32_t i = decltype(slot)::value;
        const uint16_t at = Load16(slots + 2 * i, f.swap);
        if constexpr (F::kObserved) {
            if (HasSlot(t, i)) Note(f, Item::kSlot, t.vtable + SlotAt(i), at, field.name);
        }
        if (at == 0) return true;
        const uint32_t pos = t.table + at;  // T <= len - 4 < 2^31: cannot wrap
        if constexpr (field.kind == Kind::kScalar) {
            if (!CheckWord(f, pos)) return false;
            Member<uint32_t>(record, field.offset) = Load32(f.buf + pos, f.swap);
            Note(f, Item::kScalar, pos, Member<uint32_t>(record, field.offset), field.name);
            return true;
        } else if constexpr (field.kind == Kind::kString) {
            return DecodeString(f, pos, &Member<char *>(record, field.offset));
        } else if constexpr (field.kind == Kind::kTable) {
            uint32_t table;
            return FollowOffset(f, pos, &table) &&
                   DecodeNestedRecord<field.nested>(f, table, &Member<char>(record, field.offset));
        } else {
            return DecodeList<field.nested>(f, pos, &Member<uint32_t>(record, field.offset),
                                            &Member<void *>(record, field.arrayOffset));
        }
    });
}

template <const Schema *S, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeFields(const F &f, const TableView &t, void *record) {
    constexpr uint32_t kSlots = S->slotCount;
    static_assert(kSlots > 0);
    const uint8_t *slots = f.buf + t.vtable + SlotAt(0);
    if constexpr (AllScalars(*S) && !F::kObserved) {
        // The dense form, the one every writer gives a table whose fields are
        // all non-zero (each list element, usually): one comparison settles the
        // slots and one bound the scalars. Anything else, a failure included,
        // takes the field-by-field walk below, which decides the same way.
        constexpr auto &dense = kDenseHead<kSlots>;
        if (HasSlot(t, kSlots - 1) && memcmp(slots, &dense[SlotAt(0)], 2 * kSlots) == 0 &&
            InBounds(t.table + DenseFieldAt(0), 4 * kSlots, f.len)) [[likely]] {
            CopyDense<S, F::swap>(f.buf + t.table + DenseFieldAt(0), record);
            return true;
        }
    }
    if (HasSlot(t, kSlots - 1)) [[likely]] {
        return DecodeSlots<S>(f, t, slots, record);
    }
    // A short vtable (the writer never makes one): the slots it has, then absent
    // ones; an odd last byte and a length below 4 hold no slot.
    uint8_t padded[2 * kSlots] = {};
    if (HasSlot(t, 0)) memcpy(padded, slots, (t.vtLen - SlotAt(0)) & ~1u);
    return DecodeSlots<S>(f, t, padded, record);
}

// The nested decoder of S for the table at `table`, into a record that is zero
// already: the root zeroed it, or it is a list element. A guarded decoder gives
// back what its record took when a field fails; a plain one leaves that to the
// root.
template <const Schema *S, class F>
inline bool DecodeTable(const F &parent, uint32_t table, void *record) {
    static_assert(S->nested != NestedForm::kNone, "message is never nested");
    const F f = parent.template Nested<S>();
    TableView t;
    if (!CheckTable(f, table, &t)) return false;
    if (DecodeFields<S>(f, t, record)) [[likely]] {
        return true;
    }
    if constexpr (S->nested == NestedForm::kReleasesItself && OwnsMemory(*S)) ReleaseRecord<S>(*f.ctx, record);
    return false;
}

// The nested decoder of a record held by value: out of line, so that every
// message holding it and its own delegating root share one copy. (A list
// element's decoder stays inlined into its loop.)
template <const Schema *S, class F>
[[gnu::noinline]] bool DecodeNestedRecord(const F &parent, uint32_t table, void *record) {
    return DecodeTable<S>(parent, table, record);
}

// The root decoder once its parameters passed.
template <const Schema *S, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool DecodeRoot(const F &f, void *record) {
    const uint32_t root = Load32(f.buf, f.swap);
    Note(f, Item::kRootOffset, 0, root);
    bool ok;
    if constexpr (S->root == RootForm::kSelfContained) {
        TableView t;
        if (!CheckTable(f, root, &t)) return false;
        resolve_cache_hooks(*f.ctx);
        memset(record, 0, S->recordSize);
        ok = DecodeFields<S>(f, t, record);
    } else {
        resolve_cache_hooks(*f.ctx);
        memset(record, 0, S->recordSize);
        ok = DecodeNestedRecord<S>(f, root, record);
    }
    if constexpr (OwnsMemory(*S)) {
        if (!ok) [[unlikely]]
            ReleaseRecord<S>(*f.ctx, record);
    }
    return ok;
}

// The root decoder on the module context ctx: true with a filled record, false
// with a record that owns nothing (untouched, zeroed, or released with the
// scalars read so far). With an observer, it is told every item read and the
// rule that refused the buffer, if one did.
template <const Schema *S, class Observer = void>
[[nodiscard]] bool Decode(Context &ctx, const uint8_t *buf, uint32_t len, void *record, Observer *observer = nullptr) {
    if (!ParamsValid(buf, len, record)) [[unlikely]] {
        if constexpr (!std::is_void_v<Observer>) observer->Refuse(Rule::kParams, 0, len);
        return RefuseParams(ctx, S->tags.unpack, buf, len, record);
    }
    return DecodeRoot<S>(
        Frame<kHostSwap, Observer>{.buf = buf, .len = len, .ctx = &ctx, .tag = S->tags.unpack, .observer = observer},
        record);
}

// The library's decoder, on its receive module's context.
template <const Schema *S>
[[nodiscard]] bool Unpack(const uint8_t *buf, uint32_t len, void *record) {
    return Decode<S>(*S->recv, buf, len, record);
}

// The release routine: gives back every string and array the record owns, in
// slot order, through the cache hooks, and nulls them. Strings reach cacheFree
// even when null; arrays only when set. Scalars and counts stay. Inlined into
// `_free__unpacked`, with the routines of the nested records inlined into it;
// ReleaseRecord below is the same routine out of line, for failure paths.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline void ReleaseInline(Context &ctx, void *record) {
    resolve_cache_hooks(ctx);
    ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr Field f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kString) {
            char *&s = Member<char *>(record, f.offset);
            ctx.cacheFree(s, kCacheArg, S->tags.release);
            s = nullptr;
        } else if constexpr (f.kind == Kind::kList) {
            void *&a = Member<void *>(record, f.arrayOffset);
            if (a != nullptr) {
                ctx.cacheFree(a, kCacheArg, S->tags.release);
                a = nullptr;
            }
        } else if constexpr (f.kind == Kind::kTable && OwnsMemory(*f.nested)) {
            ReleaseInline<f.nested>(ctx, &Member<char>(record, f.offset));
        }
    });
}

template <const Schema *S>
void ReleaseRecord(Context &ctx, void *record) {
    ReleaseInline<S>(ctx, record);
}

// `_free__unpacked`: ignores null; a message whose records own nothing does
// nothing at all.
template <const Schema *S>
void FreeUnpacked(void *record) {
    if constexpr (OwnsMemory(*S)) {
        if (record != nullptr) ReleaseInline<S>(*S->recv, record);
    }
}

}  // namespace ssh_msg_def::internal

// The two exported receive functions of a message list row.
#define SSH_MSG_DEF_RECV_OPS(Ns, Msg, ...)                                                              \
    extern "C" uint32_t Ns##_##Msg##__unpack(const uint8_t *buffer, uint32_t len, Ns##_##Msg *record) { \
        (void)::ssh_msg_def::internal::Unpack<&::ssh_msg_def::internal::k##Msg>(buffer, len, record);   \
        return sizeof(Ns##_##Msg);                                                                      \
    }                                                                                                   \
    extern "C" void Ns##_##Msg##_free__unpacked(Ns##_##Msg *record) {                                   \
        ::ssh_msg_def::internal::FreeUnpacked<&::ssh_msg_def::internal::k##Msg>(record);                \
    }

#endif
