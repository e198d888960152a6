// The host framework's delivery: routing by identifier, replacement on a second
// registration, order, handle and target passed through, release after each
// delivery, and an unknown identifier stopping the whole call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ssh_msg_def/vorn_host.h"

namespace {

std::string g_events;

// Decoders that copy the first byte into the record and note each step.
template <char kName>
uint32_t Unpack(const uint8_t *buf, uint32_t, void *rec) {
    *static_cast<uint8_t *>(rec) = buf[0];
    g_events += std::string("unpack") + kName + " ";
    return 8;
}
template <char kName>
void Release(void *rec) {
    g_events += std::string("release") + kName + std::to_string(*static_cast<uint8_t *>(rec)) + " ";
}
void Subscriber(const VornHost_Delivery *d, void *) {
    g_events += "got(" + std::to_string(d->msgId) + "," + std::to_string(*static_cast<const uint8_t *>(d->record)) +
                ",h" + std::to_string(d->handle) + ",t" + std::to_string(d->target) + "," + std::to_string(d->index) +
                "/" + std::to_string(d->count) + ") ";
}

struct Case {
    const char *name;
    std::vector<uint32_t> ids;  // one descriptor each; its buffer holds its position + 1
    uint64_t target;
    uint32_t result;
    const char *events;
};

TEST(VornHost, DeliversEachDescriptorInOrderToItsPair) {
    const Case cases[] = {
        {"routing and order",
         {1, 2, 1},
         0,
         VORN_HOST_OK,
         "unpackA got(1,1,h7,t0,0/3) releaseA1 unpackB got(2,2,h7,t0,1/3) releaseB2 "
         "unpackA got(1,3,h7,t0,2/3) releaseA3 "},
        {"target passed through", {2}, 9, VORN_HOST_OK, "unpackB got(2,1,h7,t9,0/1) releaseB1 "},
        {"replaced pair", {3}, 0, VORN_HOST_OK, "unpackB got(3,1,h7,t0,0/1) releaseB1 "},
        {"unknown identifier: nothing delivered", {1, 4, 2}, 0, VORN_HOST_UNKNOWN_ID, ""},
        {"empty call", {}, 5, VORN_HOST_OK, ""},
    };
    VornHost_Reset();
    ASSERT_EQ(VORN_RegIDLFuncHook(1, &Unpack<'A'>, &Release<'A'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(2, &Unpack<'B'>, &Release<'B'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(3, &Unpack<'A'>, &Release<'A'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(3, &Unpack<'B'>, &Release<'B'>), 0u);
    VornHost_Subscribe(&Subscriber, nullptr);
    uint32_t ids[4];
    ASSERT_EQ(VornHost_Registered(ids, 4), 3u);
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + 3), (std::vector<uint32_t>{1, 2, 3}));
    for (const Case &c : cases) {
        std::vector<uint8_t> bytes(c.ids.size());
        std::vector<SshMsgDef_MsgDesc> descs;
        for (size_t i = 0; i < c.ids.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i + 1);
            descs.push_back({&bytes[i], c.ids[i], 1});
        }
        g_events.clear();
        const auto n = static_cast<uint32_t>(descs.size());
        const uint32_t result =
            c.target ? VORN_SendToMsg(7, descs.data(), n, c.target) : VORN_SendMsg(7, descs.data(), n);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(g_events, c.events) << c.name;
    }
    EXPECT_EQ(VORN_SendMsg(7, nullptr, 1), VORN_HOST_INVALID);
    VornHost_Reset();
}

}  // namespace
