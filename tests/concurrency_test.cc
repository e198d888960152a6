// Concurrency: threads released together by a barrier make the first decode,
// release, pack and send of all four modules at the same instant, each thread
// starting with a different operation (rejected decodes among them, so the
// receive modules bind their log hooks as well), in a fresh process and then
// in further bursts, then go on with records of their own. Every result must be right and every block back;
// under ThreadSanitizer (the tsan preset) the one-time binding of the hooks
// and all that follows must also be free of data races.
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "context.h"
#include "recorder.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace {

namespace smd = ssh_msg_def::internal;

constexpr unsigned kThreads = 8;
constexpr unsigned kRounds = 100;

char *S(const char *s) { return const_cast<char *>(s); }
bool Same(const char *a, const char *b) { return a != nullptr && strcmp(a, b) == 0; }

// {1, "ab", null, 0} and {"ab", null, [{5, 0}, {7, 9}]} as packed.
const uint8_t kFileTrans[] = {0x10, 0, 0, 0, 0x0C, 0, 0x13, 0, 4, 0, 8, 0, 0, 0, 0,   0,   0x0C, 0,
                              0,    0, 1, 0, 0,    0, 4,    0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0};
const uint8_t kPortList[] = {0x0E, 0,    0, 0, 0x0A, 0, 0x1F, 0, 4, 0,   0,   0, 8, 0, 0x0A, 0, 0,    0, 8, 0, 0,
                             0,    0x0B, 0, 0, 0,    2, 0,    0, 0, 'a', 'b', 0, 2, 0, 0,    0, 0x10, 0, 0, 0, 0x1C,
                             0,    0,    0, 8, 0,    8, 0,    4, 0, 0,   0,   8, 0, 0, 0,    5, 0,    0, 0, 8, 0,
                             0x0C, 0,    4, 0, 8,    0, 8,    0, 0, 0,   7,   0, 0, 0, 9,    0, 0,    0};
const uint8_t kBadRoot[] = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// One operation per module and kind; `n` makes a thread's records its own.
bool ClientPackAndDecode(uint32_t n) {
    const SshcMsgDef_ConnectPara in = {S("host"), n, S("user"), 2, nullptr, S(""), S("banner"), n + 1};
    uint8_t buf[256];
    uint32_t len = sizeof buf;
    if (SshcMsgDef_ConnectPara__pack(&in, buf, &len) != 0) return false;
    SshcMsgDef_ConnectPara out;
    SshcMsgDef_ConnectPara__unpack(buf, len, &out);
    const bool ok = Same(out.field0, "host") && out.field1 == n && Same(out.field2, "user") && out.field4 == nullptr &&
                    Same(out.field5, "") && Same(out.field6, "banner") && out.field7 == n + 1;
    SshcMsgDef_ConnectPara_free__unpacked(&out);
    return ok && out.field0 == nullptr && out.field6 == nullptr;
}

bool ServerPackAndDecode(uint32_t n) {
    SshsMsgDef_ForwardPort ports[] = {{n, 1}, {2, n}, {0, 0}};
    const SshsMsgDef_TcpForwordMessage in = {n, 0, 3, 4, {S("lo"), nullptr, 3, ports}};
    uint8_t buf[256];
    uint32_t len = sizeof buf;
    if (SshsMsgDef_TcpForwordMessage__pack(&in, buf, &len) != 0) return false;
    SshsMsgDef_TcpForwordMessage out;
    SshsMsgDef_TcpForwordMessage__unpack(buf, len, &out);
    const SshsMsgDef_PortList &l = out.portList;
    const bool ok = out.field0 == n && out.field2 == 3 && Same(l.field0, "lo") && l.field1 == nullptr &&
                    l.forwardPortCount == 3 && l.forwardPort[0].field0 == n && l.forwardPort[1].field1 == n;
    SshsMsgDef_TcpForwordMessage_free__unpacked(&out);
    return ok && out.portList.forwardPort == nullptr;
}

bool ClientDecode(uint32_t) {
    SshcMsgDef_FileTrans out;
    SshcMsgDef_FileTrans__unpack(kFileTrans, sizeof kFileTrans, &out);
    const bool ok = out.field0 == 1 && Same(out.field1, "ab") && out.field2 == nullptr && out.field3 == 0;
    SshcMsgDef_FileTrans_free__unpacked(&out);
    return ok && out.field1 == nullptr;
}

bool ServerDecode(uint32_t) {
    SshsMsgDef_PortList out;
    SshsMsgDef_PortList__unpack(kPortList, sizeof kPortList, &out);
    const bool ok = Same(out.field0, "ab") && out.field1 == nullptr && out.forwardPortCount == 2 &&
                    out.forwardPort[0].field0 == 5 && out.forwardPort[1].field1 == 9;
    SshsMsgDef_PortList_free__unpacked(&out);
    return ok && out.field0 == nullptr && out.forwardPort == nullptr;
}

// Rejected at the root offset: logged, the record untouched.
bool ClientReject(uint32_t n) {
    SshcMsgDef_FileDir out = {nullptr, n, n, n, nullptr};
    SshcMsgDef_FileDir__unpack(kBadRoot, sizeof kBadRoot, &out);
    return out.field1 == n && out.field3 == n;
}

bool ServerReject(uint32_t n) {
    SshsMsgDef_ForwardPort out = {n, n};
    SshsMsgDef_ForwardPort__unpack(kBadRoot, sizeof kBadRoot, &out);
    return out.field0 == n && out.field1 == n;
}

bool ClientSend(uint32_t n) {
    const SshcMsgDef_FileTrans in = {n, S("/tmp/a"), S("/tmp/b"), 7};
    return SshcMsgDef_FileTrans__sendmsg(n, &in, 1) == 0;
}

bool ServerSend(uint32_t n) {
    SshsMsgDef_ForwardPort ports[] = {{n, 2}};
    const SshsMsgDef_PortList in[2] = {{S("eth0"), S("x"), 1, ports}, {nullptr, nullptr, 0, nullptr}};
    return SshsMsgDef_PortList__sendtomsg(n, in, 2, 99) == 0;
}

bool (*const kSteps[])(uint32_t) = {ClientPackAndDecode, ServerPackAndDecode, ClientDecode, ServerDecode,
                                    ClientReject,        ServerReject,        ClientSend,   ServerSend};
constexpr unsigned kStepCount = sizeof kSteps / sizeof kSteps[0];

constexpr unsigned kBursts = 50;
pthread_barrier_t gStart, gDone;  // the threads and main

struct Worker {
    pthread_t thread;
    unsigned id;
    std::string failures;
};

void Step(Worker &w, unsigned step, unsigned round) {
    if (!kSteps[step](w.id * 1000 + round + 1)) {
        w.failures += " step " + std::to_string(step) + " round " + std::to_string(round);
    }
}

void *Run(void *arg) {
    Worker &w = *static_cast<Worker *>(arg);
    for (unsigned burst = 0; burst < kBursts; ++burst) {
        pthread_barrier_wait(&gStart);
        for (unsigned i = 0; i < kStepCount; ++i) Step(w, (w.id + i) % kStepCount, 0);  // each starts elsewhere
        pthread_barrier_wait(&gDone);
    }
    for (unsigned round = 1; round <= kRounds; ++round) {
        for (unsigned step = 0; step < kStepCount; ++step) Step(w, step, round);
    }
    return nullptr;
}

}  // namespace

// The first burst meets the library as the process loaded it; before each
// further burst, with every thread parked, the modules are returned to that
// state, so each burst is a first use again.
int main() {
    Worker workers[kThreads];
    pthread_barrier_init(&gStart, nullptr, kThreads + 1);
    pthread_barrier_init(&gDone, nullptr, kThreads + 1);
    for (unsigned i = 0; i < kThreads; ++i) {
        workers[i].id = i;
        pthread_create(&workers[i].thread, nullptr, Run, &workers[i]);
    }
    for (unsigned burst = 0; burst < kBursts; ++burst) {
        pthread_barrier_wait(&gStart);
        pthread_barrier_wait(&gDone);
        if (burst + 1 < kBursts) {
            for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend}) {
                smd::ResetContextForTest(*c);
            }
        }
    }
    int status = 0;
    for (Worker &w : workers) {
        pthread_join(w.thread, nullptr);
        if (!w.failures.empty()) {
            fprintf(stderr, "thread %u failed:%s\n", w.id, w.failures.c_str());
            status = 1;
        }
    }
    const size_t runs = kThreads * (kBursts + kRounds);
    const std::vector<size_t> want = {2 * runs, 2 * runs, 0, 0};
    const std::vector<size_t> seen = {rec_count_kind(REC_SEND), rec_count_kind(REC_LOG),
                                      static_cast<size_t>(rec_live_blocks()), static_cast<size_t>(rec_free_errors())};
    if (seen != want) {
        fprintf(stderr, "sends %zu, logs %zu, live blocks %zu, bad frees %zu; want %zu, %zu, 0, 0\n", seen[0], seen[1],
                seen[2], seen[3], want[0], want[1]);
        status = 1;
    }
    if (status == 0) printf("%u threads: %u first-use bursts, %u rounds: all right\n", kThreads, kBursts, kRounds);
    return status;
}
