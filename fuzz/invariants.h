// What the decoder, the encoder, the send paths and the release routine promise
// for any input, written once over the schema tables and checked by every fuzz
// target and by the regression runner:
// - a failed decode leaves a record that owns nothing and no block behind;
// - an observed decode reaches the same verdict and record, told of one
//   refusal when it refuses and of none when it accepts;
// - a successful decode owns one block per string and per non-empty list, logs
//   nothing, packs to exactly its measured size (one byte less is refused), and
//   that encoding decodes to an equal record and packs to the same bytes;
// - failing any one of its allocations fails the decode with one log line
//   (code 12, the failed size, the allocating decoder's tag and format), keeps
//   the scalars read before the failure, gives every block back once, and
//   tells an observer of the decode of its failed size;
// - a release nulls every owned pointer and nothing else, and a second one is
//   harmless.
// Blocks are counted and their frees checked by the host OS layer.
// A broken promise prints what broke and aborts, which libFuzzer reports.
#ifndef SSH_MSG_DEF_FUZZ_INVARIANTS_H
#define SSH_MSG_DEF_FUZZ_INVARIANTS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "internal.h"
#include "record_text.h"
#include "ssh_msg_def/zvd_host.h"

namespace smd_fuzz {

namespace smd = ssh_msg_def::internal;
using Bytes = std::vector<uint8_t>;
using Record = std::vector<uint8_t>;  // record storage of exactly the record's size

using smd_text::Describe;

// What the host OS layer was asked since Reset(): record allocations (a
// refused one with a null block) and log lines.
struct Allocation {
    uint32_t size;
    std::string tag;
    bool refused = false;
};
struct LogLine {
    uint32_t code;
    std::string tag, text;
};
struct Seen {
    std::vector<Allocation> cache;
    std::vector<LogLine> logs;
};
inline Seen gSeen;

// Forgets what was seen and any allocation yet to be refused; `refuse`: the
// allocation to refuse, counted from 0, or -1.
void Reset(long refuse = -1);
long Live();      // blocks allocated and not freed
long BadFrees();  // frees the layer found wrong

// The operation under check, named in failure reports.
inline const char *gWhere = "";

[[noreturn]] void Fail(const char *condition, const std::string &detail);

#define SMD_CHECK(cond, detail)                                    \
    do {                                                           \
        if (!(cond)) ::smd_fuzz::Fail(#cond, std::string(detail)); \
    } while (0)

// The log line of a failed record allocation of `size` bytes under `tag`.
std::string MallocText(const char *tag, uint32_t size);

// "FileTrans" for kFileTrans: names corpora and regression directories.
std::string MessageName(const smd::Schema *s);

// Calls visit(scalar), visit(string) or visit(count, array, element schema) for
// every member of the record in decode order, entering nested records.
template <const smd::Schema *S, class F>
void Walk(void *rec, F &&visit) {
    smd::VisitMembers(*S, rec,
                      smd::Visitor{[&](const smd::Field &, uint32_t &v) { visit(v); },
                                   [&](const smd::Field &, char *&s) { visit(s); },
                                   [&](const smd::Field &, smd::ListMember l) { visit(l.count, l.array, l.element); }});
}

// Blocks the record owns: its non-null strings and arrays.
template <const smd::Schema *S>
size_t Owned(const void *rec) {
    size_t n = 0;
    Walk<S>(const_cast<void *>(rec),
            smd::Visitor{[](uint32_t &) {}, [&](char *&s) { n += s != nullptr; },
                         [&](uint32_t &, void *&a, const smd::Schema &) { n += a != nullptr; }});
    return n;
}

// A decoded list has an array exactly when its count is not 0.
template <const smd::Schema *S>
bool ListsMatchCounts(const void *rec) {
    bool ok = true;
    Walk<S>(const_cast<void *>(rec),
            smd::Visitor{[](uint32_t &) {}, [](char *&) {},
                         [&](uint32_t &n, void *&a, const smd::Schema &) { ok &= (n != 0) == (a != nullptr); }});
    return ok;
}

// What decoding into a zeroed record leaves when allocation k of a decode that
// yields `full` fails: pointers null, scalars and counts read before the
// failing member kept, everything after it zero. With no allocation k, what a
// release leaves: every owned pointer null, nothing else changed.
template <const smd::Schema *S>
Record AfterFailedAllocation(const void *full, size_t k) {
    Record r(static_cast<const uint8_t *>(full), static_cast<const uint8_t *>(full) + S->recordSize);
    bool failed = false;
    auto allocates = [&](void *p) {
        if (p != nullptr && !failed && k-- == 0) failed = true;
    };
    Walk<S>(r.data(), smd::Visitor{[&](uint32_t &v) { v = failed ? 0 : v; },
                                   [&](char *&s) {
                                       allocates(s);
                                       s = nullptr;
                                   },
                                   [&](uint32_t &n, void *&a, const smd::Schema &) {
                                       n = failed ? 0 : n;
                                       allocates(a);
                                       a = nullptr;
                                   }});
    return r;
}

// Releases the record twice: the first nulls every owned pointer and changes
// nothing else, the second changes nothing; no block is left or freed wrongly.
template <const smd::Schema *S>
void CheckRelease(void *rec, size_t liveAfter = 0) {
    const Record want = AfterFailedAllocation<S>(rec, SIZE_MAX);
    for (int round = 0; round < 2; ++round) {
        smd::FreeUnpacked<S>(rec);
        SMD_CHECK(memcmp(rec, want.data(), S->recordSize) == 0, Describe<S>(rec));
        SMD_CHECK(Live() == static_cast<long>(liveAfter) && BadFrees() == 0,
                  "live " + std::to_string(Live()) + ", bad frees " + std::to_string(BadFrees()));
    }
}

// The encoded size of a record, as the encoder measures it.
template <const smd::Schema *S>
uint32_t EncodedSize(const void *rec) {
    smd::StringLengths<S> lengths;
    return smd::MeasureRoot<S>(rec, lengths.data());
}

// Packs the record (whose decoded form renders as `want`) into exactly its
// measured size, refuses one byte less without writing, packs the same bytes into larger
// rooms, decodes the encoding back to `want` and packs that to the same bytes.
// (The decoders and writers work in the byte order the build is for; the
// other order is checked where it is native, by the cross run.) Returns the
// encoding.
template <const smd::Schema *S>
Bytes CheckRoundTrip(const void *rec, const std::string &want) {
    const uint32_t size = EncodedSize<S>(rec);
    SMD_CHECK(size >= 12 + 2 * S->slotCount, want);
    Bytes enc(size);
    uint32_t length = size;
    SMD_CHECK(smd::Pack<S>(rec, enc.data(), &length) == 0 && length == size, want);
    // One byte short is refused without writing; any larger room gives the same
    // bytes and leaves the rest alone (the writer may work from an upper bound of
    // the size then, which lists with zero fields exceed by 4 per such field).
    for (const uint32_t room : {size - 1, size + 1, size + 4, size + 9, size + 64}) {
        Bytes out(room, 0xEE);
        length = room;
        const bool fits = room >= size;
        SMD_CHECK(smd::Pack<S>(rec, out.data(), &length) == (fits ? 0 : SSH_MSG_DEF_ERROR), want);
        Bytes expect = fits ? enc : Bytes();
        expect.resize(room, 0xEE);
        SMD_CHECK(length == (fits ? size : room) && out == expect, want + " in a room of " + std::to_string(room));
    }

    Record back(S->recordSize);
    const long live = Live();
    SMD_CHECK(smd::Unpack<S>(enc.data(), size, back.data()), want);
    SMD_CHECK(Describe<S>(back.data()) == want, Describe<S>(back.data()) + "\nwanted\n" + want);
    Bytes again(size);
    length = size;
    SMD_CHECK(smd::Pack<S>(back.data(), again.data(), &length) == 0 && length == size && again == enc, want);
    CheckRelease<S>(back.data(), live);
    return enc;
}

// What an observer of a decode was told: how many refusals, and the last.
struct Refusals {
    int count = 0;
    smd::Rule rule{};
    uint32_t pos = 0, value = 0;
    void Item(smd::Item, uint32_t, uint32_t, const char *) {}
    void Refuse(smd::Rule r, uint32_t p, uint32_t v) { ++count, rule = r, pos = p, value = v; }
};

// smd::Inspect with a Refusals observer (observed.cc, which coverage builds
// leave uncounted: the observed decoder is the tools', and coverage measures
// the library's).
template <const smd::Schema *S>
bool Observe(const uint8_t *buf, uint32_t len, void *record, Refusals &seen);

// Fails each allocation of the decode of `in` in turn; `full` is its result.
template <const smd::Schema *S>
void CheckAllocationFailures(const Bytes &in, const void *full, const std::vector<Allocation> &allocs) {
    const long live = Live();
    for (size_t k = 0; k < allocs.size(); ++k) {
        auto at = [&] { return "allocation " + std::to_string(k) + " of " + Describe<S>(full); };
        Reset(static_cast<long>(k));
        Record out(S->recordSize);
        SMD_CHECK(!smd::Unpack<S>(in.data(), static_cast<uint32_t>(in.size()), out.data()), at());
        const Allocation &failed = gSeen.cache.back();
        SMD_CHECK(gSeen.cache.size() == k + 1 && failed.refused && failed.size == allocs[k].size &&
                      allocs[k].tag == failed.tag,
                  at());
        SMD_CHECK(gSeen.logs.size() == 1 && gSeen.logs[0].code == smd::kCodeNoMemory &&
                      allocs[k].tag == gSeen.logs[0].tag &&
                      gSeen.logs[0].text == MallocText(failed.tag.c_str(), failed.size),
                  at());
        SMD_CHECK(Describe<S>(out.data()) == Describe<S>(AfterFailedAllocation<S>(full, k).data()),
                  at() + "\nleft " + Describe<S>(out.data()));
        CheckRelease<S>(out.data(), live);
        // An observer (the inspection tool, say) is told why: one refusal, of the failed size.
        Reset(static_cast<long>(k));
        Refusals seen;
        SMD_CHECK(!Observe<S>(in.data(), static_cast<uint32_t>(in.size()), out.data(), seen) && seen.count == 1 &&
                      seen.rule == smd::Rule::kNoMemory && seen.value == allocs[k].size,
                  at());
    }
    Reset();
}

// Every invariant for one input to one decoder. Returns the number of
// allocation failures injected.
template <const smd::Schema *S>
size_t CheckDecode(const uint8_t *data, size_t size) {
    gWhere = S->tags.unpack;
    if (size > 0x7FFFFFFF) return 0;
    const Bytes in(data, data + size);  // exactly sized: a sanitizer sees any read past the end
    const uint32_t len = static_cast<uint32_t>(size);
    Record rec(S->recordSize);
    Reset();

    // A length of 2^31 or more is refused before anything is read or written.
    SMD_CHECK(!smd::Unpack<S>(in.data(), len | 0x80000000u, rec.data()) && rec == Record(S->recordSize), "");
    // So is it when observed: the same line is logged, and the observer told so,
    // with the pointers that were given (an empty input may have no buffer).
    Reset();
    Refusals params;
    SMD_CHECK(!Observe<S>(in.data(), len | 0x80000000u, rec.data(), params) && rec == Record(S->recordSize) &&
                  gSeen.logs.size() == 1 && params.count == 1 && params.rule == smd::Rule::kParams &&
                  params.pos == smd::Given(in.data(), rec.data()) && params.value == (len | 0x80000000u),
              "");

    // An observer is told of no refusal, or of one, and sees the record Unpack fills.
    Record seenRec(S->recordSize);
    Refusals seen;
    const bool seenOk = Observe<S>(in.data(), len, seenRec.data(), seen);
    const std::string seenText = Describe<S>(seenRec.data());
    if (seenOk) smd::FreeUnpacked<S>(seenRec.data());

    Reset();
    const bool ok = smd::Unpack<S>(in.data(), len, rec.data());
    SMD_CHECK(in == Bytes(data, data + size), "the buffer changed");
    SMD_CHECK(seenOk == ok && seen.count == !ok && seenText == Describe<S>(rec.data()), seenText);
    const size_t owned = Owned<S>(rec.data());
    SMD_CHECK(Live() == static_cast<long>(owned) && BadFrees() == 0, Describe<S>(rec.data()));
    const std::string log = gSeen.logs.empty() ? "" : gSeen.logs[0].text;
    if (!ok) {
        SMD_CHECK(owned == 0, Describe<S>(rec.data()));
        SMD_CHECK(gSeen.logs.size() <= 1 && (log.empty() || gSeen.logs[0].code == smd::kCodeInvalid), log);
        CheckRelease<S>(rec.data());
        return 0;
    }
    SMD_CHECK(gSeen.logs.empty(), log);
    SMD_CHECK(gSeen.cache.size() == owned && ListsMatchCounts<S>(rec.data()), Describe<S>(rec.data()));
    const std::vector<Allocation> allocs = gSeen.cache;

    CheckAllocationFailures<S>(in, rec.data(), allocs);
    (void)CheckRoundTrip<S>(rec.data(), Describe<S>(rec.data()));
    CheckRelease<S>(rec.data());
    return allocs.size();
}

using smd::ForEachMessage;

}  // namespace smd_fuzz

#endif
