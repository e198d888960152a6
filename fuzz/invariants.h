// What the decoder, the encoder and the release routine promise for any
// input, written once over the schema tables and checked by every fuzz target
// and by the regression runner:
// - a failed decode leaves a record that owns nothing, logs at most one line
//   (code 22) and leaves no block behind;
// - an observed decode reaches the same verdict and record, told of one
//   refusal when it refuses and of none when it accepts;
// - a successful decode owns one block per string and per non-empty list, logs
//   nothing, packs to exactly its measured size (one byte less is refused), and
//   that encoding decodes to an equal record and packs to the same bytes;
// - failing any one of its allocations fails the decode with one log line
//   (code 12, the failed size, the allocating decoder's tag; which of the two
//   widths of its text a decoder logs is pinned by the cases), keeps
//   the scalars read before the failure, gives every block back, and tells an
//   observer of the decode of its failed size;
// - a release nulls every owned pointer and nothing else, and a second one is
//   harmless.
// Blocks are counted and their frees checked by the host OS layer. The
// decoders and writers work in the byte order the build is for; the other
// order is checked where it is native, by the cross run.
// A broken promise prints what broke and aborts, which libFuzzer reports.
#ifndef SSH_MSG_DEF_FUZZ_INVARIANTS_H
#define SSH_MSG_DEF_FUZZ_INVARIANTS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "internal.h"
#include "record_text.h"
#include "ssh_msg_def/zvd_host.h"

namespace smd_fuzz {

namespace smd = ssh_msg_def::internal;
using Bytes = std::vector<uint8_t>;  // an encoding, or a record's storage of exactly its size
using smd_text::Describe;

// What the host OS layer was asked since Reset(): record allocations (a
// refused one with a null block) and log lines.
struct Allocation {
    uint32_t size;
    std::string tag;
    bool refused;
};
struct LogLine {
    uint32_t code;
    std::string tag, text;
};
inline std::vector<Allocation> gAllocs;
inline std::vector<LogLine> gLogs;

// Forgets what was seen; `refuse`: the allocation to refuse from now on,
// counted from 0, or -1.
void Reset(long refuse = -1);
// Blocks allocated and not freed, or -1 once the layer found a free wrong.
long Live();

// The operation under check, named in failure reports.
inline const char *gWhere = "";

[[noreturn]] void Fail(const char *condition, const std::string &detail);

// `detail` is evaluated only when the check fails.
#define SMD_CHECK(cond, detail)                                    \
    do {                                                           \
        if (!(cond)) ::smd_fuzz::Fail(#cond, std::string(detail)); \
    } while (0)

// What decoding into a zeroed record leaves when allocation k of a decode that
// yields `full` fails: pointers null, scalars and counts read before the
// failing member kept, everything after it zero. With no allocation k, what a
// release leaves: every owned pointer null, nothing else changed. Counts the
// record's blocks into *owned.
template <const smd::Schema *S>
Bytes AfterFailedAllocation(const void *full, size_t k, size_t *owned = nullptr) {
    Bytes r(static_cast<const uint8_t *>(full), static_cast<const uint8_t *>(full) + S->recordSize);
    bool failed = false;
    auto drop = [&](auto &p) {
        if (p != nullptr && owned != nullptr) ++*owned;
        if (p != nullptr && !failed && k-- == 0) failed = true;
        p = nullptr;
    };
    smd::VisitMembers(*S, r.data(),
                      smd::Visitor{[&](const smd::Field &, uint32_t &v) { v = failed ? 0 : v; },
                                   [&](const smd::Field &, char *&s) { drop(s); },
                                   [&](const smd::Field &, smd::ListMember l) {
                                       l.count = failed ? 0 : l.count;  // read before its array is allocated
                                       drop(l.array);
                                   }});
    return r;
}

// Releases the record twice: the first nulls every owned pointer and changes
// nothing else, the second changes nothing; `live` blocks are left. A null
// record is ignored.
template <const smd::Schema *S>
void CheckRelease(void *rec, long live = 0) {
    const Bytes want = AfterFailedAllocation<S>(rec, SIZE_MAX);
    smd::FreeUnpacked<S>(nullptr);
    for (int round = 0; round < 2; ++round) {
        smd::FreeUnpacked<S>(rec);
        SMD_CHECK(memcmp(rec, want.data(), S->recordSize) == 0 && Live() == live,
                  Describe<S>(rec) + ", live blocks " + std::to_string(Live()));
    }
}

// smd::Unpack<S>, called, not inlined: the checks decode each input several
// times, and one copy of the decoder per message keeps their build short.
template <const smd::Schema *S>
[[gnu::noinline]] bool Unpack(const uint8_t *buf, uint32_t len, void *record) {
    return smd::Unpack<S>(buf, len, record);
}

// Packs the record (with `pack`, to `enc`) with each of its strings moved into
// the output: ending where the encoding begins (its terminator the first byte
// written), and at the encoding's start. The writer keeps the lengths it
// measured and writes nothing outside the encoding; in the first place it
// copies the string intact.
void CheckAliasing(const smd::Schema &s, uint32_t (*pack)(const void *, uint8_t *, uint32_t *), const void *rec,
                   const Bytes &enc);

// Packs the record into exactly its measured size and into rooms one byte
// short (refused, nothing written) and larger (the writer may then size from
// an upper bound, which lists with zero fields exceed by 4 per such field: the
// same bytes, the rest left alone); decodes the encoding back to an equal
// record, which packs to the same bytes; and CheckAliasing. Returns the encoding.
template <const smd::Schema *S>
Bytes CheckRoundTrip(const void *rec) {
    const std::string want = Describe<S>(rec);
    smd::StringLengths<S> lengths;
    const uint32_t size = smd::MeasureRoot<S>(rec, lengths.data());
    Bytes enc;
    for (const uint32_t room : {size, size - 1, size + 64}) {
        Bytes out(room, 0xEE);
        uint32_t length = room;
        const bool fits = room >= size;
        SMD_CHECK(smd::Pack<S>(rec, out.data(), &length) == (fits ? 0 : SSH_MSG_DEF_ERROR), want);
        if (room == size) enc = out;
        Bytes expect = fits ? enc : Bytes();
        expect.resize(room, 0xEE);
        SMD_CHECK(length == (fits ? size : room) && out == expect, want + " in a room of " + std::to_string(room));
    }
    CheckAliasing(*S, smd::kOperationsOf<S>.pack, rec, enc);
    Bytes back(S->recordSize), again(size);
    uint32_t length = size;
    SMD_CHECK(Unpack<S>(enc.data(), size, back.data()) && Describe<S>(back.data()) == want &&
                  smd::Pack<S>(back.data(), again.data(), &length) == 0 && again == enc,
              Describe<S>(back.data()) + "\nwanted\n" + want);
    smd::FreeUnpacked<S>(back.data());
    return enc;
}

// What an observer of a decode was told: how many refusals, and the last.
struct Refusals {
    int count = 0;
    smd::Rule rule{};
    uint32_t value = 0;
    void Item(smd::Item, uint32_t, uint32_t, const char *) {}
    void Refuse(smd::Rule r, uint32_t, uint32_t v) { ++count, rule = r, value = v; }
};

// smd::Decode with a Refusals observer (observed.cc, which coverage builds
// leave uncounted: the observed decoder is the tools', and coverage measures
// the library's).
template <const smd::Schema *S>
bool Observe(const uint8_t *buf, uint32_t len, void *record, Refusals &seen);

// Every invariant for one input to one decoder, each of its allocations
// failed in turn. Returns the number of allocation failures injected.
template <const smd::Schema *S>
size_t CheckDecode(const uint8_t *data, size_t size) {
    gWhere = S->tags.unpack;
    if (size > 0x7FFFFFFF) return 0;
    // Every decode reads a copy at the end of a mapping, where a read past the
    // end ends the process in any build, but one, of a copy of exactly the
    // input's size, where a sanitizer sees a read past either end.
    const uint8_t *const in = smd_text::Guarded(data, size);
    const Bytes copy(data, data + size);
    const uint32_t len = static_cast<uint32_t>(size);
    Bytes rec(S->recordSize), seenRec(S->recordSize), copyRec(S->recordSize);
    Refusals seen;
    const bool seenOk = Observe<S>(in, len, seenRec.data(), seen);
    const std::string seenText = Describe<S>(seenRec.data());
    if (seenOk) smd::FreeUnpacked<S>(seenRec.data());
    const bool copyOk = Unpack<S>(copy.data(), len, copyRec.data());
    const std::string copyText = Describe<S>(copyRec.data());
    if (copyOk) smd::FreeUnpacked<S>(copyRec.data());

    Reset();
    const bool ok = Unpack<S>(in, len, rec.data());
    size_t owned = 0;
    (void)AfterFailedAllocation<S>(rec.data(), SIZE_MAX, &owned);
    SMD_CHECK(std::equal(in, in + size, data) && seenOk == ok && seen.count == !ok &&
                  seenText == Describe<S>(rec.data()) && copyOk == ok && copyText == seenText,
              "observed " + seenText + "\nnot " + Describe<S>(rec.data()));
    SMD_CHECK(Live() == static_cast<long>(owned) &&
                  (ok ? gLogs.empty() && gAllocs.size() == owned
                      : owned == 0 && gLogs.size() <= 1 && (gLogs.empty() || gLogs[0].code == smd::kCodeInvalid)),
              Describe<S>(rec.data()) + (gLogs.empty() ? "" : "\nlogged " + gLogs[0].text));
    const std::vector<Allocation> allocs = ok ? gAllocs : std::vector<Allocation>();
    for (size_t k = 0; k < allocs.size(); ++k) {
        auto at = [&] { return "allocation " + std::to_string(k) + " of " + Describe<S>(rec.data()); };
        Reset(static_cast<long>(k));
        Bytes out(S->recordSize);
        SMD_CHECK(!Unpack<S>(in, len, out.data()) && Live() == static_cast<long>(owned) &&
                      out == AfterFailedAllocation<S>(rec.data(), k),
                  at() + "\nleft " + Describe<S>(out.data()));
        SMD_CHECK(gAllocs.size() == k + 1 && gAllocs[k].refused && gAllocs[k].size == allocs[k].size &&
                      gAllocs[k].tag == allocs[k].tag && gLogs.size() == 1 && gLogs[0].code == smd::kCodeNoMemory &&
                      gLogs[0].tag == allocs[k].tag &&
                      gLogs[0].text.starts_with("[ZIRKO]:Malloc unpack data unsuccess,") &&
                      gLogs[0].text.ends_with(" size(" + std::to_string(allocs[k].size) + ")"),
                  at());
        Reset(static_cast<long>(k));
        Refusals told;
        SMD_CHECK(!Observe<S>(in, len, out.data(), told) && told.count == 1 && told.rule == smd::Rule::kNoMemory &&
                      told.value == allocs[k].size,
                  at());
    }
    Reset();
    if (ok) (void)CheckRoundTrip<S>(rec.data());
    CheckRelease<S>(rec.data());
    return allocs.size();
}

}  // namespace smd_fuzz

#endif
