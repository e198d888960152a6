// The host framework's delivery: routing by identifier, replacement on a second
// registration, order, handle and target passed through, release after each
// delivery, an unknown identifier stopping the whole call, the verdict on each
// buffer, allocations of the host OS layer refused to the decoder, the limits
// of the tables; and a libvorn_host.so that needs the C library only and
// exports the framework's names only.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"

namespace {

std::string g_events;

std::vector<uint8_t> Bytes(const std::string &hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

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
        {"pair without a release function", {5}, 0, VORN_HOST_OK, "unpackA got(5,1,h7,t0,0/1) "},
        {"unknown identifier: nothing delivered", {1, 4, 2}, 0, VORN_HOST_UNKNOWN_ID, ""},
        {"empty call", {}, 5, VORN_HOST_OK, ""},
    };
    VornHost_Reset();
    ASSERT_EQ(VORN_RegIDLFuncHook(1, &Unpack<'A'>, &Release<'A'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(2, &Unpack<'B'>, &Release<'B'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(3, &Unpack<'A'>, &Release<'A'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(3, &Unpack<'B'>, &Release<'B'>), 0u);
    ASSERT_EQ(VORN_RegIDLFuncHook(5, &Unpack<'A'>, nullptr), 0u);
    VornHost_Subscribe(&Subscriber, nullptr);
    uint32_t ids[4] = {0, 0, 0, 99};
    ASSERT_EQ(VornHost_Registered(ids, 3), 4u);
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + 4), (std::vector<uint32_t>{1, 2, 3, 99}));
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
    // Without a subscriber a delivery is still decoded and released.
    VornHost_Subscribe(nullptr, nullptr);
    const uint8_t byte = 5;
    const SshMsgDef_MsgDesc desc{&byte, 2, 1};
    g_events.clear();
    EXPECT_EQ(VORN_SendMsg(7, &desc, 1), VORN_HOST_OK);
    EXPECT_EQ(g_events, "unpackB releaseB5 ");
    VornHost_Reset();
}

template <char kName>
void Clean() {
    g_events += std::string("clean") + kName + " ";
}

TEST(VornHost, RefusesNullFunctionsAndRegistrationsBeyondItsTables) {
    VornHost_Reset();
    for (uint32_t id = 1; id <= VORN_HOST_MAX_IDS; ++id) ASSERT_EQ(VORN_RegIDLFuncHook(id, &Unpack<'A'>, nullptr), 0u);
    ASSERT_EQ(VORN_RegIDLResorceCleanFuncHook(&Clean<'a'>), 0u);
    for (uint32_t i = 1; i < VORN_HOST_MAX_CLEAN; ++i) ASSERT_EQ(VORN_RegIDLResorceCleanFuncHook(&Clean<'b'>), 0u);
    const struct {
        const char *name;
        std::function<uint32_t()> call;
        uint32_t result;
    } cases[] = {
        {"null decode function", [] { return VORN_RegIDLFuncHook(1, nullptr, &Release<'A'>); }, VORN_HOST_INVALID},
        {"null clean function", [] { return VORN_RegIDLResorceCleanFuncHook(nullptr); }, VORN_HOST_INVALID},
        {"one identifier too many", [] { return VORN_RegIDLFuncHook(0, &Unpack<'B'>, nullptr); }, VORN_HOST_FULL},
        {"a pair replaced in the full table", [] { return VORN_RegIDLFuncHook(9, &Unpack<'B'>, nullptr); },
         VORN_HOST_OK},
        {"one clean function too many", [] { return VORN_RegIDLResorceCleanFuncHook(&Clean<'c'>); }, VORN_HOST_FULL},
    };
    for (const auto &c : cases) EXPECT_EQ(c.call(), c.result) << c.name;

    const uint8_t byte = 1;
    const SshMsgDef_MsgDesc descs[] = {{&byte, 1, 1}, {&byte, 9, 1}};
    g_events.clear();
    EXPECT_EQ(VORN_SendMsg(1, descs, 2), VORN_HOST_OK);  // 1 kept its pair, 9 has the new one
    EXPECT_EQ(VornHost_Registered(nullptr, 0), VORN_HOST_MAX_IDS);
    EXPECT_EQ(g_events, "unpackA unpackB ");
    ASSERT_EQ(VornHost_CleanCount(), VORN_HOST_MAX_CLEAN);
    g_events.clear();
    VornHost_RunClean();
    std::string clean = "cleana ";
    for (uint32_t i = 1; i < VORN_HOST_MAX_CLEAN; ++i) clean += "cleanb ";
    EXPECT_EQ(g_events, clean);
    VornHost_Reset();
}

// A decoder reporting more than the storage it was given has written past it.
TEST(VornHostDeathTest, AbortsWhenADecoderReportsARecordLargerThanItsStorage) {
    VornHost_Reset();
    ASSERT_EQ(VORN_RegIDLFuncHook(
                  1, [](const uint8_t *, uint32_t, void *) { return VORN_HOST_RECORD_MAX + 1; }, nullptr),
              0u);
    const uint8_t byte = 0;
    const SshMsgDef_MsgDesc desc{&byte, 1, 1};
    EXPECT_DEATH(VORN_SendMsg(1, &desc, 1), "decoder of 0x00000001 reported a 1025-byte record \\(room for 1024\\)");
    VornHost_Reset();
}

// The verdict comes from the library's decoder for the identifier, whatever
// pair is registered for it.
TEST(VornHost, TellsWhetherTheLibrarysDecoderAcceptsEachBuffer) {
    const std::string portList =
        "0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080"
        "000000500000008000c0004000800080000000700000009000000";
    const struct {
        const char *name;
        uint32_t msgId;
        std::string hex;
        uint32_t accepted;
    } cases[] = {
        {"PortList", 0x71670B77, portList, 1},
        {"PortList, root offset 0xff", 0x71670B77, "ff" + portList.substr(2), 0},
        {"PortList, cut short", 0x71670B77, portList.substr(0, 80), 0},
        {"ForwardPort image", 0xC27650FA, "04000000f4ffffff901f00005000000008000c0004000800", 1},
        {"an identifier the library does not define", 1, portList, 0},
    };
    VornHost_Reset();
    std::vector<uint32_t> verdicts;
    VornHost_Subscribe(
        [](const VornHost_Delivery *d, void *v) { static_cast<std::vector<uint32_t> *>(v)->push_back(d->accepted); },
        &verdicts);
    for (const auto &c : cases) {
        ASSERT_EQ(VORN_RegIDLFuncHook(c.msgId, &Unpack<'A'>, &Release<'A'>), 0u);
        const std::vector<uint8_t> bytes = Bytes(c.hex);
        const SshMsgDef_MsgDesc desc{bytes.data(), c.msgId, static_cast<uint32_t>(bytes.size())};
        verdicts.clear();
        EXPECT_EQ(VORN_SendMsg(1, &desc, 1), VORN_HOST_OK) << c.name;
        EXPECT_EQ(verdicts, std::vector<uint32_t>{c.accepted}) << c.name;
    }
    VornHost_Reset();
}

// A PortList ("lo", "uplink", ports 8080 -> 80 and 2222 -> 22) whose decode
// takes three allocations: the two strings and the array.
const std::vector<uint8_t> kPortList = Bytes(
    "0e0000000a002e00040008000c000a0000000c0000000f00000016000000020000006c6f000600000075706c696e6b0002000000100000"
    "002000000008000c000400080008000000901f00005000000008000c000400080008000000ae08000016000000");

// A PortList record as text, its elements read only through a non-null array.
std::string Text(const SshsMsgDef_PortList &p) {
    std::string s = std::string(p.field0 ? p.field0 : "null") + " " + (p.field1 ? p.field1 : "null") + " " +
                    std::to_string(p.forwardPortCount) + ":" + (p.forwardPort ? "" : "null");
    for (uint32_t i = 0; p.forwardPort != nullptr && i < p.forwardPortCount; ++i) {
        s += " " + std::to_string(p.forwardPort[i].field0) + "->" + std::to_string(p.forwardPort[i].field1);
    }
    return s;
}

struct Seen {
    uint32_t deliveries = 0, accepted = 0, refusedAllocs = 0;
    std::string record;
};

void Note(const VornHost_Delivery *d, void *v) {
    auto &seen = *static_cast<Seen *>(v);
    seen = {seen.deliveries + 1, d->accepted, d->refusedAllocs,
            Text(*static_cast<const SshsMsgDef_PortList *>(d->record))};
}

// With libzvd_host as the OS layer, an allocation it refuses to the library's
// decoder makes the delivery rejected, whichever one it is; the subscriber gets
// the record as the decoder leaves it.
TEST(VornHost, RejectsADeliveryWhoseDecoderTheHostOsLayerRefusedMemory) {
    const struct {
        const char *name;
        uint64_t failNth;  // 0: none
        bool cancel;
        uint32_t accepted, refusedAllocs;
    } cases[] = {
        {"no failure", 0, false, 1, 0}, {"first string", 1, false, 0, 1},     {"second string", 2, false, 0, 1},
        {"array", 3, false, 0, 1},      {"failure cancelled", 1, true, 1, 0},
    };
    VornHost_Reset();
    ZvdHost_SetLogSink([](const ZvdHost_LogLine *, void *) {}, nullptr);
    ASSERT_EQ(sshs_msg_def_recv_init(), 0u);
    Seen seen;
    VornHost_Subscribe(&Note, &seen);
    const SshMsgDef_MsgDesc desc{kPortList.data(), SSHS_MSG_DEF_PORT_LIST_ID, static_cast<uint32_t>(kPortList.size())};
    for (const auto &c : cases) {
        const auto arm = [&c] {
            ZvdHost_FailAllocation(c.failNth);
            if (c.cancel) ZvdHost_FailAllocation(0);
        };
        arm();
        SshsMsgDef_PortList direct{};
        SshsMsgDef_PortList__unpack(desc.buffer, desc.length, &direct);
        const std::string left = Text(direct);
        SshsMsgDef_PortList_free__unpacked(&direct);

        arm();
        ZvdHost_Counters before, after;
        ZvdHost_GetCounters(&before);
        seen = {};
        EXPECT_EQ(VORN_SendMsg(1, &desc, 1), VORN_HOST_OK) << c.name;
        ZvdHost_GetCounters(&after);
        EXPECT_EQ(seen.deliveries, 1u) << c.name;
        EXPECT_EQ(seen.accepted, c.accepted) << c.name;
        EXPECT_EQ(seen.refusedAllocs, c.refusedAllocs) << c.name;
        EXPECT_EQ(seen.record, left) << c.name;
        EXPECT_EQ(after.failedAllocs - before.failedAllocs, c.refusedAllocs) << c.name;
        EXPECT_EQ(after.liveBlocks, before.liveBlocks) << c.name;
        if (c.accepted) {
            EXPECT_EQ(after.cacheAllocs - before.cacheAllocs, 3u) << c.name;  // what the rows fail in turn
        }
    }
    EXPECT_EQ(seen.record, "lo uplink 2: 8080->80 2222->22");
    // A send's buffer is an allocation too, the first of the send.
    SshsMsgDef_ForwardPort ports[] = {{8080, 80}};
    SshsMsgDef_PortList list = {const_cast<char *>("lo"), nullptr, 1, ports};
    ZvdHost_FailAllocation(1);
    seen = {};
    EXPECT_EQ(SshsMsgDef_PortList__sendmsg(1, &list, 1), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(seen.deliveries, 0u);
    ZvdHost_SetLogSink(nullptr, nullptr);
    VornHost_Reset();
}

// The judging decoder is inside the library file, hidden, built without the
// C++ runtime.
TEST(VornHost, NeedsTheCLibraryOnlyAndExportsTheFrameworkOnly) {
#ifdef SMD_INSTRUMENTED
    GTEST_SKIP() << "instrumented build: the checkers' runtimes are linked in";
#endif
    const std::string lib = VORN_HOST_LIB;
    const std::string check =
        "readelf -d " + lib + " | grep NEEDED | grep -v 'libc\\.so'; readelf --dyn-syms -W " + lib +
        " | awk '$1 ~ /^[0-9]+:$/ && $7 != \"UND\" && $5 != \"LOCAL\" && $8 !~ /^(VORN_|VornHost_)/ || "
        "$7 == \"UND\" && $8 ~ /^(_Z|__cxa_|__gxx_)/ && $8 !~ /^__cxa_finalize/'";
    FILE *out = popen(check.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string found;
    for (int c; (c = fgetc(out)) != EOF;) found += static_cast<char>(c);
    EXPECT_EQ(pclose(out), 0);
    EXPECT_EQ(found, "");
}

}  // namespace
