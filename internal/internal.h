// The library seen from inside, for the code beside it that needs more than the
// exported functions: the tests, the fuzz targets, the benchmarks, the host
// framework's verdict and the sshmsg tool. The shipped library does not
// compile this layer; a program reaches it through the CMake target
// ssh_msg_def_internal, whose only include folders are this one, the public
// headers and the bounds-checked stand-ins.
//
// What it offers:
// - the engines of every message, each a template over its schema
//   (src/runtime/decode.h, encode.h; src/transport/send.h) and the module
//   contexts they run on (context.h);
// - the schemas: k<Msg> for each message, kSchemaOf<record type>, kSchemas in
//   the order the receive modules register them, ForEachMessage, and
//   SSH_MSG_DEF_MESSAGES(X), both message lists in one;
// - the observed decode (Observer, Observe, ObserveId): the library's decoder
//   telling an observer every item it reads and the rule that refuses a
//   buffer, run on a context of its own that logs nothing and takes record
//   memory from malloc, so that it neither repeats the library's log lines nor
//   shows in the OS layer's counters;
// - the record visitor (visit.h), for code that meets a schema at run time.
// The toolkit beside the library builds on it: the table of messages
// (messages.h), the record notation (record_json.h), the hex reader (text.h).
#ifndef SSH_MSG_DEF_INTERNAL_H
#define SSH_MSG_DEF_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <iterator>
#include <utility>

#include "../src/runtime/context.h"
#include "../src/runtime/decode.h"
#include "../src/runtime/encode.h"
#include "../src/sshc/schemas.h"
#include "../src/sshs/schemas.h"
#include "../src/transport/send.h"
#include "ssh_msg_def/ssh_msg_def.h"
#include "visit.h"

#define SSH_MSG_DEF_MESSAGES(X) SSH_MSG_DEF_CLIENT_MESSAGES(X) SSH_MSG_DEF_SERVER_MESSAGES(X)

namespace ssh_msg_def::internal {

// Every message, in the order the receive modules register them.
#define SSH_MSG_DEF_SCHEMA_ADDRESS(Ns, Msg, ...) &k##Msg,
inline constexpr const Schema *kSchemas[] = {SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_SCHEMA_ADDRESS)};
#undef SSH_MSG_DEF_SCHEMA_ADDRESS

// Calls f.template operator()<schema>() for every message, in that order.
template <class F>
void ForEachMessage(F &&f) {
    [&]<size_t... I>(std::index_sequence<I...>) { (f.template operator()<kSchemas[I]>(), ...); }
    (std::make_index_sequence<std::size(kSchemas)>{});
}

// What a decoder run with an observer tells it: every item it reads, in the
// order it reads them, and the rule that refuses the buffer (refusal.h says
// what `pos` and `value` hold for each rule).
class Observer {
  public:
    virtual void Item(internal::Item, uint32_t /*pos*/, uint32_t /*value*/, const char * /*name*/) {}
    virtual void Refuse(Rule, uint32_t /*pos*/, uint32_t /*value*/) {}

  protected:
    ~Observer() = default;
};

// The context of the observed decode: bound from the start to malloc and free
// and to no log writer (internal/silent.cc).
extern Context gSilent;

// S's decoder on the `len` bytes at `buf`, on the silent context, telling
// `observer` what it reads and the rule that refuses the buffer: true when it
// accepts them. The record it fills is given back before this returns.
template <const Schema *S>
bool Observe(const uint8_t *buf, uint32_t len, Observer &observer) {
    alignas(16) unsigned char record[S->recordSize] = {};
    const bool accepted = Decode<S>(gSilent, buf, len, record, &observer);
    if (accepted) ReleaseRecord<S>(gSilent, record);  // a refused record owns nothing
    return accepted;
}

// Observe by identifier: 1 accepted, 0 refused, -1 when no message has it.
inline int ObserveId(uint32_t msgId, const uint8_t *buf, uint32_t len, Observer &observer) {
    return [&]<size_t... I>(std::index_sequence<I...>) {
        int verdict = -1;
        (void)((kSchemas[I]->msgId == msgId && (verdict = Observe<kSchemas[I]>(buf, len, observer), true)) || ...);
        return verdict;
    }
    (std::make_index_sequence<std::size(kSchemas)>{});
}

}  // namespace ssh_msg_def::internal

#endif
