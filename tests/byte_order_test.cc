// Every module's byte-order flag follows the host, as the compiler sees it: 1 on
// a big-endian host, where each buffer integer is then byte-reversed, else 0.
// The golden vectors are little-endian everywhere, so on a big-endian host they
// check the reversal itself; this checks that it is switched on.
#include <gtest/gtest.h>
#include <stdio.h>

#include <vector>

#include "context.h"

namespace smd = ssh_msg_def::internal;

TEST(ByteOrder, EveryModuleFlagFollowsTheHost) {
    constexpr uint32_t kBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 1 : 0;
    std::vector<uint32_t> flags;
    for (const smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend}) {
        flags.push_back(c->byteOrder);
    }
    EXPECT_EQ(flags, std::vector<uint32_t>(4, kBigEndian));
    printf("byte-order flag of the four modules: %u %u %u %u (big-endian host: %u)\n", flags[0], flags[1], flags[2],
           flags[3], kBigEndian);
}
