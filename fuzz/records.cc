// Structure-aware checks: the input bytes steer the building of one record of
// each of the seven messages (scalars zero, small or any; strings null, empty,
// short or long with any bytes but NUL; lists empty, empty with an array, with
// a count but no array, of a few or of thousands of elements). Each record must
// pack and decode back to itself, with lists lacking a count or an array read
// back as empty; its single send must hand exactly that encoding (for
// ForwardPort: the fixed image, which decodes like the compact form) to the
// framework and pass its result back; a pair goes out in one block, or not at
// all when it outgrows the batch area; a send whose buffer cannot be had sends
// nothing. Every send buffer is given back.
#include <algorithm>
#include <deque>

#include "invariants.h"

namespace smd_fuzz {
namespace {

// The input as a stream of choices; zeros once it runs dry.
struct Source {
    const uint8_t *p, *end;
    uint8_t Byte() { return p < end ? *p++ : 0; }
    uint32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
};

// Storage the built records point into.
struct Arena {
    std::deque<std::string> strings;
    std::deque<Record> arrays;
};

uint32_t Scalar(Source &src) {
    switch (src.Byte() % 4) {
        case 0: return 0;
        case 1: return src.Byte();
        default: return src.Word();
    }
}

template <const smd::Schema *S>
void Build(Source &src, Arena &arena, void *rec) {
    Walk<S>(rec, smd::Visitor{[&](uint32_t &v) { v = Scalar(src); },
                              [&](char *&s) {
                                  const uint8_t mode = src.Byte() % 4;
                                  if (mode == 0) return;  // null
                                  const uint32_t n = mode == 1 ? 0 : mode == 2 ? src.Byte() % 24 : src.Word() % 2048;
                                  std::string &text = arena.strings.emplace_back();
                                  for (uint32_t i = 0; i < n; ++i) {
                                      const uint8_t c = src.Byte();
                                      text += static_cast<char>(c != 0 ? c : '0');
                                  }
                                  s = text.data();
                              },
                              [&](uint32_t &n, void *&a, const smd::Schema &element) {
                                  const uint8_t mode = src.Byte() % 8;
                                  switch (mode) {
                                      case 0: return;                               // empty
                                      case 1: n = src.Word() | 1; return;           // a count but no array
                                      case 2: n = 0; break;                         // an array but no count
                                      case 3: n = 1024 + src.Word() % 4096; break;  // thousands
                                      default: n = 1 + src.Byte() % 8; break;       // a few
                                  }
                                  // Elements hold scalars only.
                                  Record &array =
                                      arena.arrays.emplace_back(std::max<size_t>(n, 1) * element.recordSize);
                                  for (size_t at = 0; at + 4 <= array.size(); at += 4) {
                                      const uint32_t v = Scalar(src);
                                      memcpy(&array[at], &v, 4);
                                  }
                                  a = array.data();
                              }});
}

// The record as a decode of its encoding gives it: lists without a count or an
// array are absent.
template <const smd::Schema *S>
Record AsDecoded(const void *rec) {
    Record r(static_cast<const uint8_t *>(rec), static_cast<const uint8_t *>(rec) + S->recordSize);
    Walk<S>(r.data(), smd::Visitor{[](uint32_t &) {}, [](char *&) {},
                                   [](uint32_t &n, void *&a, const smd::Schema &) {
                                       if (n == 0 || a == nullptr) n = 0, a = nullptr;
                                   }});
    return r;
}

void CheckSent(size_t send, uint32_t count, const Bytes &encoding, uint32_t msgId, uint64_t target) {
    const RecEvent *e = rec_find(REC_SEND, send);
    SMD_CHECK(e != nullptr && e->b == count && e->target == target && e->sendTo == (target != 0), "");
    for (uint32_t i = 0; i < count; ++i) {
        SMD_CHECK(e->descs[i].msgId == msgId && e->descs[i].length == encoding.size() &&
                      memcmp(rec_sent_bytes(e, i), encoding.data(), encoding.size()) == 0,
                  "descriptor " + std::to_string(i));
    }
}

template <const smd::Schema *S>
void CheckSends(Source &src, const void *rec, Bytes encoding, const std::string &text) {
    if constexpr (S->fixedImage) {
        encoding.assign(smd::kImageSize<S>, 0);
        smd::WriteImage<S>(encoding.data(), rec, S->send->byteOrder != 0);
        Record back(S->recordSize);
        SMD_CHECK(smd::Unpack<S>(encoding.data(), static_cast<uint32_t>(encoding.size()), back.data()) &&
                      Describe<S>(back.data()) == text,
                  text);
    }
    const uint32_t result = src.Word();
    const uint64_t target = src.Byte() % 2 ? 0 : uint64_t{src.Word()} << 32 | 1;
    rec_reset();
    rec_set_send_result(result);
    SMD_CHECK(smd::SendMsg<S>(7, rec, 1, target) == result && rec_count_kind(REC_SEND) == 1, text);
    CheckSent(0, 1, encoding, S->msgId, target);

    Record pair(2 * S->recordSize);
    memcpy(pair.data(), rec, S->recordSize);
    memcpy(pair.data() + S->recordSize, rec, S->recordSize);
    const bool fits = S->fixedImage || 2 * encoding.size() <= smd::kBatchArea;
    SMD_CHECK(smd::SendMsg<S>(7, pair.data(), 2, target) == (fits ? result : SSH_MSG_DEF_ERROR) &&
                  rec_count_kind(REC_SEND) == (fits ? 2 : 1),
              text);
    if (fits) CheckSent(1, 2, encoding, S->msgId, target);

    rec_fail_alloc_at(static_cast<long>(rec_count_kind(REC_MEM_ALLOC)));
    SMD_CHECK(
        smd::SendMsg<S>(7, pair.data(), 2, target) == SSH_MSG_DEF_ERROR && rec_count_kind(REC_SEND) == (fits ? 2 : 1),
        text);
    // A single send whose buffer cannot be had sends nothing; the fixed image
    // needs no buffer.
    const size_t sent = rec_count_kind(REC_SEND);
    rec_fail_alloc_at(static_cast<long>(rec_count_kind(REC_MEM_ALLOC)));
    SMD_CHECK(smd::SendMsg<S>(7, rec, 1, target) == (S->fixedImage ? result : SSH_MSG_DEF_ERROR) &&
                  rec_count_kind(REC_SEND) == sent + (S->fixedImage ? 1 : 0),
              text);
    rec_fail_alloc_at(-1);
    SMD_CHECK(rec_live_blocks() == 0 && rec_free_errors() == 0, text);
}

template <const smd::Schema *S>
void CheckBuilt(Source &src, Arena &arena) {
    gWhere = S->tags.pack;
    Record rec(S->recordSize);
    Build<S>(src, arena, rec.data());
    const std::string text = Describe<S>(AsDecoded<S>(rec.data()).data());
    rec_reset();
    const Bytes encoding = CheckRoundTrip<S>(rec.data(), text);
    CheckSends<S>(src, rec.data(), encoding, text);
}

}  // namespace

void CheckRecords(const uint8_t *data, size_t size) {
    Source src{data, data + size};
    Arena arena;
    ForEachMessage([&]<const smd::Schema * S>() { CheckBuilt<S>(src, arena); });
}

}  // namespace smd_fuzz
