// The library's decoders with an observer, for the host framework (which judges
// every delivered buffer) and for sshmsg (which annotates a buffer and says the
// rule that refused it). The decode is the library's own code (decode.h),
// instantiated against a runtime of its own, defined in observe.cc: four module
// contexts that log nothing and take record memory from malloc, so that a
// judgement neither repeats the library's log lines nor shows in the OS
// layer's counters. A program or library that includes this header links
// observe.cc once; its symbols stay out of the library and out of any export.
#ifndef SSH_MSG_DEF_OBSERVE_H
#define SSH_MSG_DEF_OBSERVE_H

#include <stddef.h>
#include <stdint.h>

#include <utility>

#include "decode.h"
#include "schemas.h"

namespace ssh_msg_def::observe {

using internal::kSchemas;

// The decoder of S on `len` bytes at `buf`, telling `observer` every item it
// reads and the rule that refuses the buffer: true when it accepts them. The
// record it fills is given back before this returns.
template <const internal::Schema *S, class Observer>
bool Inspect(const uint8_t *buf, uint32_t len, Observer &observer) {
    alignas(16) unsigned char record[S->recordSize] = {};
    const bool accepted = internal::Inspect<S>(buf, len, record, observer);
    if (accepted) internal::FreeUnpacked<S>(record);  // a refused record owns nothing
    return accepted;
}

// Inspect by identifier: 1 accepted, 0 refused, -1 when no message has it.
template <class Observer>
int InspectId(uint32_t msgId, const uint8_t *buf, uint32_t len, Observer &observer) {
    return [&]<size_t... I>(std::index_sequence<I...>) {
        int verdict = -1;
        (void)((kSchemas[I]->msgId == msgId && (verdict = Inspect<kSchemas[I]>(buf, len, observer), true)) || ...);
        return verdict;
    }
    (std::make_index_sequence<sizeof kSchemas / sizeof kSchemas[0]>{});
}

}  // namespace ssh_msg_def::observe

#endif
