// The table of messages: each row's exported functions reached through their
// own types, and the library's code instantiated for the tools. The observed
// decoders, the tools' own copies of the library's decoder, are in observed.cc.
#include "messages.h"

#include <strings.h>

#include <vector>

#include "text.h"

namespace ssh_msg_def::internal {

template <const Schema *S>
bool Observed(Context &ctx, const uint8_t *buf, uint32_t len, void *record, Observer &observer);  // observed.cc

namespace {

// The row of the message whose exported functions are A: each erases its
// record type and calls the function through its own type.
template <const Schema *S, class A = Api<S>, class R = typename A::Record>
constexpr Message Row(const char *qualified, const char *name) {
    return {
        .schema = *S,
        .qualified = qualified,
        .name = name,
        .unpack = [](const uint8_t *b, uint32_t n, void *r) { return A::unpack(b, n, static_cast<R *>(r)); },
        .release = [](void *r) { A::release(static_cast<R *>(r)); },
        .pack = [](const void *r, uint8_t *b, uint32_t *n) { return A::pack(static_cast<const R *>(r), b, n); },
        .sendsingle = [](uint32_t h, const void *r, uint64_t reserved,
                         uint64_t t) { return A::sendsingle(h, static_cast<const R *>(r), reserved, t); },
        .sendbatch = [](uint32_t h, const void *r, uint32_t n,
                        uint64_t t) { return A::sendbatch(h, static_cast<const R *>(r), n, t); },
        .sendmsg = [](uint32_t h, const void *r, uint32_t n) { return A::sendmsg(h, static_cast<const R *>(r), n); },
        .sendtomsg = [](uint32_t h, const void *r, uint32_t n,
                        uint64_t t) { return A::sendtomsg(h, static_cast<const R *>(r), n, t); },
        .decode = &Unpack<S>,
        .observe = &Observed<S>,
        .measure = [](const void *r) {
            StringLengths<S> lengths;
            return MeasureRoot<S>(r, lengths.data());
        },
        .fill = S->fixedImage ? nullptr
                              : +[](const void *records, uint32_t count, uint32_t *used) {
                                    std::vector<uint8_t> area(kBatchArea);
                                    std::vector<SshMsgDef_MsgDesc> descs(count);
                                    return FillArea<S>(area.data(), records, count, descs.data(), used);
                                },
        .image = S->fixedImage ? +[](const void *r, uint8_t *out) { WriteImage<S>(out, r, S->send->byteOrder != 0); }
                               : nullptr,
        .imageSize = S->fixedImage ? kImageSize<S> : 0,
    };
}

#define SSH_MSG_DEF_ROW(Ns, Msg, ...) Row<&k##Msg>(#Ns "." #Msg, #Msg),
const Message kMessages[] = {SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_ROW)};
#undef SSH_MSG_DEF_ROW

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::span<const Message> Messages() { return kMessages; }

const Message &MessageOf(const Schema &s) {
    for (const Message &m : kMessages) {
        if (&m.schema == &s) return m;
    }
    __builtin_trap();  // every schema has its row
}

const Message *FindMessage(uint32_t id) {
    for (const Message &m : kMessages) {
        if (m.id() == id) return &m;
    }
    return nullptr;
}

const Message *FindMessage(std::string_view key) {
    for (const Message &m : kMessages) {
        if (key == m.schema.name || key == m.qualified || SameText(key, m.name)) return &m;
    }
    const std::optional<uint64_t> id = ParseNumber(key, 0, UINT32_MAX);
    return id ? FindMessage(static_cast<uint32_t>(*id)) : nullptr;
}

}  // namespace ssh_msg_def::internal
