// The case runner: `cases FILE [N]` runs the commands of a case file (of its
// Nth section only), each section in a process of its own (the library's modules bind their hooks once), and
// compares what they print with the lines the file gives.
//
//   ## Name          starts a section
//   # text           a comment
//   $ command        a command; the lines up to the next command, comment or
//                    blank line are all it prints
//
// What the library asks of the platform is printed as it happens: "log CODE
// TAG TEXT"; after `trace`, the memory calls too, those of one kind, argument
// and tag in a row on one line: "alloc ARG TAG: SIZE..." (send memory; the
// send block's own free goes unsaid), "cache ARG TAG: SIZE..." (record memory;
// " -> null" when refused), "free ARG TAG: block|null|BAD..."; and for each
// descriptor the framework is handed, "sent ID I/N hHANDLE tTARGET
// LENGTH@WHERE" (WHERE: +offset in the last send block, or "elsewhere") with
// the bytes when they are not what __pack writes, after "descriptors @+OFFSET"
// when the descriptors lie in the send block. A record prints as in
// record_text.h, a call's result as "= RESULT" (nothing for 0). A run of equal
// items prints as one, with " xN".
// Commands:
//
//   os LAYER [flag=N]      loads libzvd_host (all), a variant without some
//                          function, or none (the default: all, flag 1), before
//                          the library's first call, and starts the trace
//   unpack MSG SOURCE [@AT=HEX]... [len=N] [nullbuf] [nullrec] [fail=K] [keep]
//                          decodes SOURCE (a record, packed, which is also the
//                          record's first state; or hex) with HEX written at
//                          offset AT; prints "= RECORD" when the decode changed
//                          it, then releases it unless kept
//   release MSG            releases the kept record, twice, and prints it
//   pack MSG RECORD [nullbuf] [nulllen]
//   send KIND MSG RECORD|null [count=N] [handle=H] [target=T]
//                          KIND: single, batch, msg (__sendmsg), tomsg
//   trace                  prints the memory calls from now on
//   capture                registers a pair for every message that keeps nothing,
//                          so that sends are printed
//   pair ID A|B|H|M|null [norelease]   registers a pair of the runner's (H: one
//                          that reports a record too large, M: the largest);
//                          pair N+: ids 1 to N
//   cleans N|null, runclean, unsubscribe, reset, deliver [to=T] ID:HEX...|null
//                          the host framework's other calls, made directly
//   badfree unknown|twice|arg|overrun|many...   wrong frees, which the layer
//                          counts (many: 1000 blocks live at once, freed right)
//   log N                  writes a line of N bytes through the OS layer; prints
//                          the length its sink got, and the result
//   refuse CALL NTH RESULT the framework's nth send, reg or clean call fails
//   fail K                 the kth allocation from now is refused
//   init sshc|sshs recv|send   prints the result
//   registered             the identifiers registered, in order, and the clean count
//   flags                  the use-flag queries so far
//   counters [reset]       the OS layer's counters (after setting them to 0)
//   swap                   the byte-order flags of a host of the other order
//   work                   a decode kept, its release, a send, a refused decode:
//                          prints the layer's calls and log lines, counted
//                          (and what they print, when it is not as expected)
//
// After every command, a block left live or a bad free is printed.
#include <dlfcn.h>
#include <inttypes.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "record_text.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"
#include "vectors.h"

namespace {

namespace smd = ssh_msg_def::internal;
using smd_text::Describe;
using Bytes = std::vector<uint8_t>;

std::string gOut;
char gLine[1200];
// Memory calls of one kind, argument and tag in a row print as one line:
// "KIND ARG TAG: ITEM, ITEM xN".
std::string gKey, gItems, gItem;
int gRun;
void FlushItem() {
    if (gRun > 0) gItems += (gItems.empty() ? "" : ", ") + gItem + (gRun > 1 ? " x" + std::to_string(gRun) : "");
    gRun = 0;
}
void Flush() {
    FlushItem();
    if (!gKey.empty()) gOut += gKey + ": " + gItems + "\n";
    gKey.clear(), gItems.clear();
}
void Merge(const std::string &key, const std::string &item) {
    if (key != gKey) Flush(), gKey = key;
    if (item != gItem) FlushItem(), gItem = item;
    ++gRun;
}
#define PRINT(...) (Flush(), snprintf(gLine, sizeof gLine, __VA_ARGS__), gOut += gLine, gOut += '\n')
// Runs `f` without printing what it prints; returns that.
template <class F>
std::string Unsaid(F f) {
    Flush();
    const std::string out = gOut;
    f();
    Flush();
    std::string said = gOut.substr(out.size());
    gOut = out;
    return said;
}

// A function of an OS layer, found by name in the layer loaded as `h`, or with
// RTLD_DEFAULT where the library finds it (the first layer loaded); null
// without a layer.
#define LAYER(h, fn) reinterpret_cast<decltype(&fn)>(dlsym(h, #fn))
const uint8_t *gBlock;  // the last send block, for the offsets of what is sent
uint32_t gBlockSize;
Bytes gPacked;  // what __pack writes for the record being sent

bool gTrace;  // memory calls printed

unsigned gCalls[4], gLogged;  // the layer's calls of each kind, and log lines

void OnCall(const ZvdHost_Call *c, void *) {
    ++gCalls[c->kind];
    const std::string key = (snprintf(gLine, sizeof gLine, " %#x %s", c->arg, c->tag), gLine);
    static std::string sendKey;  // the send block's: its free, with the same argument and tag, goes unsaid
    if (c->kind == ZVD_HOST_MEM_ALLOC && c->block) gBlock = static_cast<uint8_t *>(c->block), gBlockSize = c->size;
    if (c->kind == ZVD_HOST_MEM_ALLOC) sendKey = key;
    if (!gTrace || c->kind == ZVD_HOST_USE_FLAG) return;
    if (c->kind == ZVD_HOST_FREE && !(c->block == gBlock && key == sendKey && !c->badFree)) {
        Merge("free" + key, c->badFree ? "BAD" : c->block ? "block" : "null");
    } else if (c->kind != ZVD_HOST_FREE) {
        Merge((c->kind == ZVD_HOST_MEM_ALLOC ? "alloc" : "cache") + key,
              std::to_string(c->size) + (c->block ? "" : " -> null"));
    }
}

// A call's result: nothing for 0.
void Result(uint32_t r) {
    if (r != 0) PRINT("= %#x", r);
}

size_t gLogLength;  // after `log N`: the length of the line the sink gets is printed instead

void OnLog(const ZvdHost_LogLine *l, void *) {
    ++gLogged;
    if (gLogLength != 0)
        return (void)PRINT("log %u %s: %zu of %zu bytes", l->code, l->tag, strlen(l->text), gLogLength);
    PRINT("log %u %s %s", l->code, l->tag, l->text);
    if (strcmp(l->module->name, "ZIRKO") || strcmp(l->module->subName, "ZIRKO_VANTOME_SERIAL") ||
        l->module->moduleId != 0x6200 || l->level != 2 || *l->file != '\0')
        PRINT("  from %s/%s %#x level %u file \"%s\"", l->module->name, l->module->subName, l->module->moduleId,
              l->level, l->file);
}

std::string Hex(const uint8_t *p, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) snprintf(gLine, sizeof gLine, "%02x", p[i]), out += gLine;
    return out;
}

std::string Where(const void *p) {
    const auto *b = static_cast<const uint8_t *>(p);
    return gBlock && b >= gBlock && b <= gBlock + gBlockSize ? "@+" + std::to_string(b - gBlock) : "@elsewhere";
}

struct Message {
    const smd::Schema *schema = nullptr;
    const smd::Operations *ops = nullptr;
};

Message Find(const std::string &name) {
    Message m;
    smd::ForEachMessage([&]<const smd::Schema * S>() {
        if (std::string(S->name).ends_with("_" + name) || S->msgId == strtoul(name.c_str(), nullptr, 0))
            m = {S, &smd::kOperationsOf<S>};
    });
    return m;
}

void OnDelivery(const VornHost_Delivery *d, void *) {
    if (d->index == 0 && Where(d->descs) != "@elsewhere") PRINT("descriptors %s", Where(d->descs).c_str());
    const bool packed = Bytes(d->buffer, d->buffer + d->length) == gPacked;
    PRINT("sent %#x %u/%u h%u t%llu %u%s%s%s%s%s", d->msgId, d->index + 1, d->count, d->handle,
          static_cast<unsigned long long>(d->target), d->length, Where(d->buffer).c_str(), packed ? "" : " ",
          packed ? "" : Hex(d->buffer, d->length).c_str(), d->accepted ? "" : " refused",
          d->refusedAllocs ? " after a refused allocation" : "");
    const Message m = Find(std::to_string(d->msgId));
    if (m.schema && d->recordSize == m.schema->recordSize) PRINT("= %s", Describe(*m.schema, d->record).c_str());
}

// Pairs of the test's own: the capture keeps nothing; the others copy the
// first byte into the record's first word (the same record on any host) and
// say so, and whether the storage they were handed held anything; the release
// says so too.
uint32_t Capture(const uint8_t *, uint32_t, void *) { return 0; }
template <char N>
uint32_t Fake(const uint8_t *b, uint32_t, void *r) {
    const auto *rec = static_cast<const uint8_t *>(r);
    const bool used = std::any_of(rec, rec + VORN_HOST_RECORD_MAX, [](uint8_t v) { return v != 0; });
    PRINT("unpack%c %u%s", N, *static_cast<uint32_t *>(r) = b[0], used ? " into a used record" : "");
    return N == 'H' ? VORN_HOST_RECORD_MAX + 1 : N == 'M' ? VORN_HOST_RECORD_MAX : 8;
}
template <char N>
void FakeRelease(void *r) {
    PRINT("release%c %u", N, *static_cast<uint32_t *>(r));
}
void Clean() { Merge("clean", "run"); }

void Load(const std::string &layer, uint32_t flag) {
    if (layer != "none") {
        const std::string path = std::string(LAYERS) + "/libzvd_host" + (layer == "all" ? "" : "_" + layer) + ".so";
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (h == nullptr) return (void)PRINT("cannot load %s", dlerror());
        LAYER(h, ZvdHost_SetTrace)(OnCall, nullptr);
        LAYER(h, ZvdHost_SetLogSink)(OnLog, nullptr);
        LAYER(h, ZvdHost_SetUseFlag)(flag);
    }
    VornHost_Subscribe(OnDelivery, nullptr);
}

// Record storage of any message, and 0xA5 bytes after it that must stay.
struct Storage {
    alignas(16) uint8_t bytes[512];
    Storage() { memset(bytes, 0xA5, sizeof bytes); }
    bool Past(uint32_t size) const {
        for (size_t i = size; i < sizeof bytes; ++i)
            if (bytes[i] != 0xA5) return true;
        return false;
    }
};

// The words of a command, records read whole.
struct Args {
    const char *p;
    std::deque<std::string> pool;
    bool ok = true;
    bool More() {
        while (*p == ' ') ++p;
        return *p != '\0';
    }
    std::string Word() {
        More();
        const char *from = p;
        while (*p != ' ' && *p != '\0') ++p;
        return std::string(from, p);
    }
    bool Record(const smd::Schema &s, void *rec) {
        memset(rec, 0, s.recordSize);
        More();
        if (*p != '{') return false;
        smd_text::Parser parser{p, pool};
        parser.Read(s, rec);
        p = parser.p;
        ok &= parser.ok;
        return true;
    }
};

Bytes Pack(const Message &m, const void *rec) {
    Bytes out(1 << 20);
    uint32_t len = static_cast<uint32_t>(out.size());
    if (m.ops->pack(rec, out.data(), &len) != 0) len = 0;  // too large to compare with
    out.resize(len);
    return out;
}

Storage gKept;
Bytes gKeptFirst;  // the kept record's first state

void Unpack(const Message &m, Args &a) {
    Storage rec;
    Bytes buf;
    if (a.Record(*m.schema, rec.bytes)) {
        buf = Pack(m, rec.bytes);
    }
    const Bytes first(rec.bytes, rec.bytes + m.schema->recordSize);
    int64_t len = -1;
    bool nullBuf = false, nullRec = false, keep = false;
    for (std::string w; a.More();) {
        w = a.Word();
        if (w[0] == '@') {  // @AT=HEX
            const size_t eq = w.find('='), at = stoul(w.substr(1, eq - 1));
            const Bytes patch = ::Hex(w.substr(eq + 1).c_str());
            if (at + patch.size() > buf.size()) return (void)PRINT("patch past the end");
            std::copy(patch.begin(), patch.end(), buf.begin() + at);
        } else if (w.starts_with("len=")) {
            len = stoll(w.substr(4), 0, 0);
        } else if (w.starts_with("fail=")) {
            LAYER(RTLD_DEFAULT, ZvdHost_FailAllocation)(stoull(w.substr(5)));
        } else {
            nullBuf |= w == "nullbuf", nullRec |= w == "nullrec", keep |= w == "keep";
            if (isxdigit(w[0])) buf = ::Hex(w.c_str());
        }
    }
    const uint32_t n = len >= 0 ? static_cast<uint32_t>(len) : static_cast<uint32_t>(buf.size());
    const uint32_t size =
        m.ops->unpack(nullBuf ? nullptr : smd_text::Guarded(buf.data(), buf.size()), n, nullRec ? nullptr : rec.bytes);
    if (size != m.schema->recordSize) PRINT("returned %u", size);
    const bool changed = memcmp(rec.bytes, first.data(), first.size()) != 0;
    if (changed) PRINT("= %s", Describe(*m.schema, rec.bytes).c_str());
    if (rec.Past(m.schema->recordSize)) PRINT("wrote past the record");
    if (keep) gKept = rec, gKeptFirst = first;
    if (!keep && changed) Unsaid([&] { m.ops->release(rec.bytes); });  // the release is release's to show
}

void Release(const Message &m) {
    for (int i = 0; i < 2; ++i) m.ops->release(gKept.bytes);
    PRINT("= %s", Describe(*m.schema, gKept.bytes).c_str());
}

void PackCmd(const Message &m, Args &a) {
    Storage rec;
    a.Record(*m.schema, rec.bytes);
    const Bytes want = Pack(m, rec.bytes);
    const auto room = static_cast<uint32_t>(want.size());
    bool nullBuf = false, nullLen = false;
    for (std::string w; a.More();) {
        w = a.Word();
        nullBuf |= w == "nullbuf", nullLen |= w == "nulllen";
    }
    Bytes out(room + 8, 0xEE);
    uint32_t len = room;
    const uint32_t r = m.ops->pack(rec.bytes, nullBuf ? nullptr : out.data(), nullLen ? nullptr : &len);
    const bool untouched =
        std::all_of(out.begin() + (r == 0 ? len : 0), out.end(), [](uint8_t b) { return b == 0xEE; });
    if (r == 0 && len <= 256) PRINT("= %s", Hex(out.data(), len).c_str());
    if (r == 0 && len > 256) PRINT("= %u bytes: %s...", len, Hex(out.data(), 16).c_str());
    if (r != 0) PRINT("= %#x, len %u", r, len);
    if (!untouched) PRINT("wrote past its encoding");
}

void Send(const Message &m, const std::string &kind, Args &a) {
    Storage rec;
    const bool given = a.Record(*m.schema, rec.bytes);
    if (!given) a.Word();  // null
    gPacked = Pack(m, rec.bytes);
    uint64_t count = 1, handle = 1, target = 0;
    for (std::string w; a.More();) {
        w = a.Word();
        const uint64_t v = stoull(w.substr(w.find('=') + 1), 0, 0);
        (w[0] == 'c' ? count : w[0] == 'h' ? handle : target) = v;
    }
    std::vector<uint8_t> array(m.schema->recordSize * std::clamp<uint64_t>(count, 1, 100000));
    for (size_t i = 0; i < array.size(); i += m.schema->recordSize) memcpy(&array[i], rec.bytes, m.schema->recordSize);
    const void *records = given ? array.data() : nullptr;
    const auto h = static_cast<uint32_t>(handle);
    const auto c = static_cast<uint32_t>(count);
    uint32_t r = 0;
    if (kind == "single") r = m.ops->sendsingle(h, records, count, target);
    if (kind == "batch") r = m.ops->sendbatch(h, records, c, target);
    if (kind == "msg") r = m.ops->sendmsg(h, records, c);
    if (kind == "tomsg") r = m.ops->sendtomsg(h, records, c, target);
    Result(r);
}

void Run(const std::string &line) {
    Args a{line.c_str(), {}};
    const std::string cmd = a.Word();
    const std::string what = a.Word();
    Message m = Find(what);
    if (cmd == "os") {
        gTrace = true;
        Load(what, a.More() ? static_cast<uint32_t>(stoul(a.Word().substr(5))) : 1);
    } else if (cmd == "unpack" && m.schema) {
        Unpack(m, a);
    } else if (cmd == "release" && m.schema) {
        Release(m);
    } else if (cmd == "pack" && m.schema) {
        PackCmd(m, a);
    } else if (cmd == "send" && (m = Find(a.Word())).schema) {
        Send(m, what, a);
    } else if (cmd == "pair") {  // pair ID KIND [norelease]; ID N+: the ids 1 to N
        const std::string kind = a.Word();
        const bool release = a.Word() != "norelease", many = what.ends_with('+');
        const auto fn = kind == "A"   ? Fake<'A'>
                        : kind == "B" ? Fake<'B'>
                        : kind == "H" ? Fake<'H'>
                        : kind == "M" ? Fake<'M'>
                                      : nullptr;
        const auto rel = !release ? nullptr : kind == "B" ? FakeRelease<'B'> : FakeRelease<'A'>;
        uint32_t r = 0;
        const auto last = static_cast<uint32_t>(stoul(what, 0, 0));
        for (uint32_t id = many ? 1 : last; id <= last; ++id) r = VORN_RegIDLFuncHook(id, fn, rel);
        Result(r);
    } else if (cmd == "cleans") {  // cleans N (the last one's result), or cleans null
        uint32_t r = what == "null" ? VORN_RegIDLResorceCleanFuncHook(nullptr) : 0;
        for (uint32_t i = 0; what != "null" && i < stoul(what); ++i) r = VORN_RegIDLResorceCleanFuncHook(Clean);
        Result(r);
    } else if (cmd == "runclean") {
        VornHost_RunClean();
    } else if (cmd == "deliver") {  // deliver [to=T] ID:HEX... (handle 7), or deliver null
        std::vector<Bytes> bufs;
        std::vector<SshMsgDef_MsgDesc> descs;
        uint64_t target = 0;
        for (std::string w = what; !w.empty(); w = a.More() ? a.Word() : "") {
            if (w.starts_with("to=")) target = stoull(w.substr(3));
            if (w.find(':') == std::string::npos) continue;
            bufs.push_back(::Hex(w.substr(w.find(':') + 1).c_str()));
            descs.push_back({nullptr, static_cast<uint32_t>(stoul(w, 0, 0)), 0});
        }
        for (size_t i = 0; i < descs.size(); ++i)  // the buffers have stopped moving
            descs[i].buffer = bufs[i].data(), descs[i].length = static_cast<uint32_t>(bufs[i].size());
        const uint32_t n = what == "null" ? 1 : static_cast<uint32_t>(descs.size());
        Result(target ? VORN_SendToMsg(7, descs.data(), n, target)
                      : VORN_SendMsg(7, what == "null" ? nullptr : descs.data(), n));
    } else if (cmd == "badfree") {  // badfree KIND...: the layer's checks of a free, each kind in turn
        const auto alloc = LAYER(RTLD_DEFAULT, ZVD_OsalMemAlloc);
        const auto release = LAYER(RTLD_DEFAULT, ZVD_OsalMemFree);
        uint8_t stack[8];
        for (std::string w = what; !w.empty(); w = a.Word()) {
            if (w == "many") {  // right frees, of many blocks live at once
                std::vector<void *> held(1000);
                for (void *&p : held) p = alloc(8, 1, "test");
                for (void *p : held) release(p, 1, "test");
                continue;
            }
            auto *block = static_cast<uint8_t *>(w == "unknown" ? stack : alloc(8, 1, "test"));
            if (w == "overrun") block[8] = 0;  // the first guard byte
            if (w == "twice") release(block, 1, "test");
            release(block, w == "arg" ? 2 : 1, "test");
        }
    } else if (cmd == "log") {  // log N: a line of N bytes written through the OS layer
        const auto write = LAYER(RTLD_DEFAULT, ZVD_OsalLogWrite);
        const SshMsgDef_ModuleDesc module{"ZIRKO", "ZIRKO_VANTOME_SERIAL", 0x6200};
        gLogLength = stoul(what);
        Result(write(&module, 2, 1, "", 0, "test", "%s", std::string(gLogLength, 'x').c_str()));
        gLogLength = 0;
    } else if (cmd == "reset") {
        VornHost_Reset();
    } else if (cmd == "unsubscribe") {
        VornHost_Subscribe(nullptr, nullptr);
    } else if (cmd == "capture") {
        for (const smd::Schema *s : smd::kSchemas) VORN_RegIDLFuncHook(s->msgId, Capture, nullptr);
    } else if (cmd == "refuse") {
        const std::string nth = a.Word();
        VornHost_Refuse(what == "send"  ? VORN_HOST_SEND
                        : what == "reg" ? VORN_HOST_REGISTER
                                        : VORN_HOST_REGISTER_CLEAN,
                        stoull(nth), static_cast<uint32_t>(stoul(a.Word(), 0, 0)));
    } else if (cmd == "fail") {
        LAYER(RTLD_DEFAULT, ZvdHost_FailAllocation)(stoull(what));
    } else if (cmd == "init") {
        const std::string dir = a.Word();
        const bool client = what == "sshc";
        Result(dir == "recv" ? (client ? sshc_msg_def_recv_init() : sshs_msg_def_recv_init())
                             : (client ? sshc_msg_def_send_init() : sshs_msg_def_send_init()));
    } else if (cmd == "registered") {
        // 16 slots ending where memory without access begins; one written past the count shows
        const uint8_t zeros[64] = {};
        auto *ids = reinterpret_cast<uint32_t *>(const_cast<uint8_t *>(smd_text::Guarded(zeros, sizeof zeros)));
        const uint32_t n = VornHost_Registered(ids, 16);
        std::string list;
        for (uint32_t i = 0; i < 16; ++i)
            if (i < n || ids[i] != 0) list += (snprintf(gLine, sizeof gLine, " %#x", ids[i]), gLine);
        PRINT("registered%s%s; %u clean", n > 16 ? (" " + std::to_string(n) + ":").c_str() : "", list.c_str(),
              VornHost_CleanCount());
    } else if (cmd == "trace") {
        gTrace = true;
    } else if (cmd == "counters") {  // counters [reset]
        ZvdHost_Counters c{};
        if (what == "reset") LAYER(RTLD_DEFAULT, ZvdHost_ResetCounters)();
        LAYER(RTLD_DEFAULT, ZvdHost_GetCounters)(&c);
#define U "%" PRIu64
        PRINT(U " mem, " U " cache, " U " frees, " U " refused, " U " live of " U " bytes (peak " U "), " U " logged",
              c.memAllocs, c.cacheAllocs, c.frees, c.failedAllocs, c.liveBlocks, c.liveBytes, c.peakBytes, c.logLines);
#undef U
    } else if (cmd == "flags") {
        PRINT("%u use-flag queries", gCalls[ZVD_HOST_USE_FLAG]);
    } else if (cmd == "swap") {
        for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend})
            c->byteOrder ^= 1;
    } else if (cmd == "work") {  // what every platform case does: the calls it makes; what it says if unexpected
        memset(gCalls, 0, sizeof gCalls), gLogged = 0;
        const bool trace = gTrace;
        std::string said = Unsaid([] {
            gTrace = false;
            for (const char *c : {"unpack FileTrans {1, \"ab\", null, 0} keep", "release FileTrans",
                                  "send msg FileTrans {1, \"ab\", null, 0}", "unpack FileTrans 0200000000000000"})
                Run(c);
        });
        gTrace = trace;
        for (size_t at; (at = said.find("\nlog ")) != std::string::npos;)
            said.erase(at + 1, said.find('\n', at + 1) - at);
        if (said != "= {1, \"ab\", null, 0}\n= {1, null, null, 0}\n= 0x1\n") gOut += said;
        PRINT("%u cache, %u alloc, %u free, %u logged", gCalls[ZVD_HOST_CACHE_ALLOC], gCalls[ZVD_HOST_MEM_ALLOC],
              gCalls[ZVD_HOST_FREE], gLogged);
    } else {
        PRINT("unknown command or message");
    }
    if (!a.ok) PRINT("cannot read the record");
    ZvdHost_Counters c{};
    if (const auto counters = LAYER(RTLD_DEFAULT, ZvdHost_GetCounters)) counters(&c);
    if (c.liveBlocks > (cmd == "unpack" && line.find(" keep") != std::string::npos))
        PRINT("%llu live", (unsigned long long)c.liveBlocks);
    if (c.badFrees) PRINT("%llu bad frees", (unsigned long long)c.badFrees);
}

// A transcript (a .t file) is run by sh instead: each command with $T, $E (from
// the environment) and $D (the section's scratch directory) set, its "> "
// lines continuing it. It prints its standard output, "[N]" for an exit
// status N other than 0, and its "!" lines when its standard error holds their
// text, line after line (a bare "!" last: the text ends its line); otherwise
// standard error as "!" lines.
bool gShell;
std::vector<std::string> gErrLines;  // each command's "!" lines, as the file gives them

std::string Slurp(const std::string &path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

void RunShell(std::string command, const std::string &errLines) {
    for (size_t at; (at = command.find("\n>")) != std::string::npos;)
        command.replace(at, command.compare(at, 4, "\n> ") == 0 ? 4 : 3, "\n");
    const std::string dir = getenv("D");
    const int raw = system(("(" + command + "\n) >" + dir + "/out 2>" + dir + "/err").c_str());
    gOut += Slurp(dir + "/out");
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) gOut += "[" + std::to_string(WEXITSTATUS(raw)) + "]\n";
    // The text the "!" lines say standard error holds.
    std::string want, err = Slurp(dir + "/err");
    std::istringstream lines(errLines);
    for (std::string l; std::getline(lines, l);) want += (l.size() > 2 ? l.substr(2) : "") + "\n";
    if (!want.empty()) want.pop_back();
    if (!errLines.empty() && err.find(want) != std::string::npos) return (void)(gOut += errLines);
    for (size_t at = 0; !errLines.empty() && at < err.size(); at = err.find('\n', at) + 1)
        gOut += "! " + err.substr(at, err.find('\n', at) - at) + "\n";
}

// Runs a section's commands in a child process; returns what they printed.
std::string RunSection(const std::vector<std::string> &commands) {
    int fds[2];
    if (pipe(fds) != 0) return "cannot pipe";
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], 2);  // what the process says on stderr is part of what it prints
        char dir[] = "/tmp/cases_XXXXXX";
        if (gShell && mkdtemp(dir) != nullptr) setenv("D", dir, 1);
        if (!gShell && (commands.empty() || !commands[0].starts_with("os "))) Load("all", 1);
        for (size_t k = 0; k < commands.size(); ++k) {
            const std::string &c = commands[k];
            gOut = "$ " + c + "\n";  // first, in case the command ends the process
            if (write(fds[1], gOut.data(), gOut.size()) != static_cast<ssize_t>(gOut.size())) _exit(3);
            gOut.clear();
            if (gShell) RunShell(c, gErrLines[k]);
            if (!gShell) Run(c), Flush();
            const std::string &out = gOut;
            if (write(fds[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) _exit(3);
        }
        if (gShell) system(("rm -rf " + std::string(dir)).c_str());
        exit(0);  // not _exit: what the child did must reach coverage data and checkers run at exit
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    // An emulator's own note of the signal that ended the process is not the process's output.
    for (size_t at; (at = out.find("qemu: uncaught target signal")) != std::string::npos;)
        out.erase(at, out.find('\n', at) + 1 - at);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += "[ended with status " + std::to_string(status) + "]\n";
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) return fprintf(stderr, "usage: cases FILE [SECTION]\n"), 2;
    const size_t only = argc == 3 ? strtoul(argv[2], nullptr, 10) : 0;  // 1: the first section
    gShell = std::string(argv[1]).ends_with(".t");
    std::ifstream in(argv[1]);
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;  // name, lines
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("## "))
            sections.push_back({line.substr(3), {}});
        else if (!line.empty() && line[0] != '#' && !sections.empty())
            sections.back().second.push_back(line);
    }
    int failed = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        const auto &[name, lines] = sections[i];
        if (only != 0 && i + 1 != only) continue;
        std::vector<std::string> commands;
        std::string want;
        gErrLines.clear();
        for (const std::string &l : lines) {
            if (l.starts_with("$ ")) commands.push_back(l.substr(2)), gErrLines.emplace_back();
            if (gShell && !commands.empty() && (l == ">" || l.starts_with("> "))) commands.back() += "\n" + l;
            if (gShell && !commands.empty() && (l == "!" || l.starts_with("! "))) gErrLines.back() += l + "\n";
            want += l + "\n";
        }
        const std::string got = RunSection(commands);
        if (got == want) continue;
        ++failed;
        printf("FAILED %s\n--- expected\n%s--- got\n%s", name.c_str(), want.c_str(), got.c_str());
    }
    printf("%zu sections, %d failed\n", sections.size(), failed);
    return failed != 0;
}
