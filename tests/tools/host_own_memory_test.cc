// The host framework in a program whose own record memory refuses the library
// an allocation: the host cannot see it, with or without libzvd_host in the
// process, so the delivery says refusedAllocs 0 and accepted 1 (the bytes pass
// every rule), and the record keeps a list's count without its array.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"

namespace {
uint32_t g_allocs, g_refuseNth, g_refused;
}  // namespace

// Found by the library before any OS layer's functions.
extern "C" uint32_t ZVD_OsalMemUseFlagGet(uint32_t) { return 1; }
extern "C" void *ZVD_OsalMemCacheAlloc(uint32_t size, uint32_t, const char *) {
    if (++g_allocs != g_refuseNth) return malloc(size);
    g_refused++;
    return nullptr;
}
extern "C" void ZVD_OsalMemFree(void *ptr, uint32_t, const char *) { free(ptr); }

namespace {

struct Seen {
    uint32_t deliveries, accepted, refusedAllocs, count, elements;
};

TEST(VornHostOwnMemory, CannotSeeARefusalOfTheProgramsAllocator) {
    const struct {
        const char *name;
        bool loadHostOsLayer;
    } cases[] = {{"no OS layer", false}, {"libzvd_host loaded", true}};  // in this order: a load stays
    ASSERT_EQ(sshs_msg_def_recv_init(), 0u);
    Seen seen;
    VornHost_Subscribe(
        [](const VornHost_Delivery *d, void *v) {
            const auto *p = static_cast<const SshsMsgDef_PortList *>(d->record);
            Seen &s = *static_cast<Seen *>(v);
            s = {s.deliveries + 1, d->accepted, d->refusedAllocs, p->forwardPortCount, 0};
            for (uint32_t i = 0; p->forwardPort != nullptr && i < p->forwardPortCount; ++i) s.elements++;
        },
        &seen);
    // A PortList ("lo", "uplink", two ports): its third allocation is the array.
    SshsMsgDef_ForwardPort ports[] = {{8080, 80}, {2222, 22}};
    const SshsMsgDef_PortList list = {const_cast<char *>("lo"), const_cast<char *>("uplink"), 2, ports};
    uint8_t buf[256];
    uint32_t len = sizeof buf;
    ASSERT_EQ(SshsMsgDef_PortList__pack(&list, buf, &len), 0u);
    const SshMsgDef_MsgDesc desc{buf, SSHS_MSG_DEF_PORT_LIST_ID, len};
    for (const auto &c : cases) {
        if (c.loadHostOsLayer) {
            ASSERT_NE(dlopen(ZVD_HOST_LIB, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
            ASSERT_NE(dlsym(RTLD_DEFAULT, "ZvdHost_ThreadRefusals"), nullptr);
        }
        g_allocs = g_refused = 0;
        g_refuseNth = 3;
        seen = {};
        EXPECT_EQ(VORN_SendMsg(1, &desc, 1), VORN_HOST_OK) << c.name;
        EXPECT_EQ(g_refused, 1u) << c.name;
        EXPECT_EQ(seen.deliveries, 1u) << c.name;
        EXPECT_EQ(seen.accepted, 1u) << c.name;
        EXPECT_EQ(seen.refusedAllocs, 0u) << c.name;
        EXPECT_NE(seen.count, 0u) << c.name;
        EXPECT_EQ(seen.elements, 0u) << c.name;  // no array
    }
    VornHost_Reset();
}

}  // namespace
