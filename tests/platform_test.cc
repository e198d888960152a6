// Platform combinations: the shared library in processes whose OS abstraction
// layer lacks some functions (or all), one combination per child process, as a
// program linking the library would see it. What each module bound is read off
// the calls that reached the stand-in layer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "recorder.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace {

struct Seen {
    size_t logs, memAllocs, cacheAllocs, frees;
    bool operator==(const Seen &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Seen &s) {
    return os << "{logs " << s.logs << ", mem " << s.memAllocs << ", cache " << s.cacheAllocs << ", frees " << s.frees
              << "}";
}

void Load(const char *variant, uint32_t useFlag) {
    rec_set_use_flag(useFlag);
    const std::string path = std::string(ZVD_DIR) + "/libzvd_" + variant + ".so";
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
        fprintf(stderr, "%s\n", dlerror());
        exit(2);
    }
}

// The calls that reached the layer so far.
Seen Calls() {
    if (rec_live_blocks() != 0 || rec_free_errors() != 0) exit(4);
    return {rec_count_kind(REC_LOG), rec_count_kind(REC_MEM_ALLOC), rec_count_kind(REC_CACHE_ALLOC),
            rec_count_kind(REC_FREE)};
}

// One decode with a string, its release; optionally a send and a rejected decode.
Seen Work(bool sendAndLog) {
    const uint8_t ab[] = {16, 0,  0, 0, 12, 0, 0, 0, 0, 0, 4, 0, 0, 0,   0,
                          0,  12, 0, 0, 0,  4, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'};
    SshcMsgDef_FileTrans rec;
    SshcMsgDef_FileTrans__unpack(ab, sizeof ab, &rec);
    const bool decoded = rec.field1 != nullptr && std::string(rec.field1) == "ab";
    SshcMsgDef_FileTrans_free__unpacked(&rec);
    if (sendAndLog) {
        if (SshcMsgDef_FileTrans__sendmsg(1, &rec, 1) != 0) exit(3);
        const uint8_t bad[] = {2, 0, 0, 0, 0, 0, 0, 0};
        SshcMsgDef_FileTrans__unpack(bad, sizeof bad, &rec);
    }
    if (!decoded) exit(4);
    return Calls();
}

struct Row {
    const char *name;
    const char *variant;  // nullptr: no OS layer at all
    uint32_t useFlag;
    Seen want;
};
void PrintTo(const Row &p, std::ostream *os) { *os << p.name; }

const Row kRows[] = {
    {"NothingPresent", nullptr, 1, {0, 0, 0, 0}},
    {"AllPresentFlag1", "all", 1, {1, 1, 1, 3}},
    {"AllPresentFlag0", "all", 0, {1, 1, 0, 1}},
    {"AllPresentFlag2", "all", 2, {1, 1, 0, 1}},
    {"CacheAllocAbsent", "no_cache_alloc", 1, {1, 1, 0, 1}},
    {"MemFreeAbsent", "no_mem_free", 1, {1, 0, 0, 0}},
    {"LogAbsent", "no_log", 1, {0, 1, 1, 3}},
};

class PlatformRow : public ::testing::TestWithParam<Row> {};

// Runs in the child: exits 0 when what the modules bound matches.
void Expect(const Seen &seen, const Seen &want) {
    if (seen == want) exit(0);
    std::cerr << "saw " << seen << ", want " << want;
    exit(1);
}

void RunRow(const Row &row) {
    if (row.variant) Load(row.variant, row.useFlag);
    Expect(Work(true), row.want);
}

TEST_P(PlatformRow, BindsWhatIsPresent) { EXPECT_EXIT(RunRow(GetParam()), ::testing::ExitedWithCode(0), ""); }

INSTANTIATE_TEST_SUITE_P(Rows, PlatformRow, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.name); });

// A layer loaded after a module's first binding is never used by that module;
// modules first used afterwards do use it.
void RunLateLoad() {
    if (!(Work(true) == Seen{})) exit(1);  // the client modules bind malloc and no log
    Load("all", 1);
    if (!(Work(true) == Seen{})) exit(1);  // and keep that
    SshsMsgDef_PortList list{};
    if (SshsMsgDef_PortList__sendmsg(1, &list, 1) != 0) exit(3);
    const uint8_t bad[] = {2, 0, 0, 0, 0, 0, 0, 0};
    SshsMsgDef_PortList__unpack(bad, sizeof bad, &list);
    // The server modules bind only now: a log, a send buffer, and the release
    // of the rejected record's two null strings through the layer's cache pair.
    Expect(Calls(), {1, 1, 0, 3});
}

TEST(PlatformLateLoad, ModulesKeepTheirFirstBinding) { EXPECT_EXIT(RunLateLoad(), ::testing::ExitedWithCode(0), ""); }

}  // namespace
