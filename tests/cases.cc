// The case runner: `cases FILE [N]` runs the commands of a case file (its Nth
// section only), each section in a process of its own, since the library's
// modules bind their hooks once a process, and compares what they print with
// the lines the file gives. tests/cases/README.md describes the file and its
// commands. Records, bytes and numbers are read with the tools' readers, so a
// case that does not read is an error, never a different buffer.
#include <dlfcn.h>
#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "guarded.h"
#include "messages.h"
#include "record_json.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"
#include "text.h"

namespace {

namespace smd = ssh_msg_def::internal;
using smd::Message;

[[noreturn]] void Fail(const std::string &what) { throw std::runtime_error(what); }

// --- What a section prints --------------------------------------------------

std::string gOut;
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
[[gnu::format(printf, 1, 2)]] void Print(const char *format, ...) {
    char line[1200];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Flush();
    gOut += line;
    gOut += '\n';
}
// Runs `f` without printing what it prints.
template <class F>
void Unsaid(F f) {
    Flush();
    const std::string out = gOut;
    f();
    Flush();
    gOut = out;
}

// A function of the OS layer, found where the library finds it: null without one.
#define LAYER(fn) reinterpret_cast<decltype(&fn)>(dlsym(RTLD_DEFAULT, #fn))

const uint8_t *gBlock;  // the last send block, for the offsets of what is sent
uint32_t gBlockSize;
std::string gPacked;  // what __pack writes for the record being sent
bool gTrace;          // memory calls printed
size_t gLogLength;    // after `log N`: the length the sink got is printed instead
unsigned gUseFlagQueries;

void OnCall(const ZvdHost_Call *c, void *) {
    char key[256];
    snprintf(key, sizeof key, " %#x %s", c->arg, c->tag ? c->tag : "");
    static std::string sendKey;  // the send block's: its free, with the same argument and tag, goes unsaid
    if (c->kind == ZVD_HOST_USE_FLAG) return (void)++gUseFlagQueries;
    if (c->kind == ZVD_HOST_MEM_ALLOC && c->block) gBlock = static_cast<uint8_t *>(c->block), gBlockSize = c->size;
    if (c->kind == ZVD_HOST_MEM_ALLOC) sendKey = key;
    if (!gTrace) return;
    if (c->kind == ZVD_HOST_FREE && !(c->block == gBlock && key == sendKey && !c->badFree)) {
        Merge(std::string("free") + key, c->badFree ? "BAD" : c->block ? "block" : "null");
    } else if (c->kind != ZVD_HOST_FREE) {
        Merge((c->kind == ZVD_HOST_MEM_ALLOC ? "alloc" : "cache") + std::string(key),
              std::to_string(c->size) + (c->block ? "" : " -> null"));
    }
}

void OnLog(const ZvdHost_LogLine *l, void *) {
    if (gLogLength != 0) return Print("log %u %s: %zu of %zu bytes", l->code, l->tag, strlen(l->text), gLogLength);
    Print("log %u %s:%u %s", l->code, l->tag, l->line, l->text);
    if (strcmp(l->module->name, "ZIRKO") || strcmp(l->module->subName, "ZIRKO_VANTOME_SERIAL") ||
        l->module->moduleId != 0x6200 || l->level != 2 || *l->file != '\0')
        Print("  from %s/%s %#x level %u file \"%s\"", l->module->name, l->module->subName, l->module->moduleId,
              l->level, l->file);
}

// A call's result: nothing for 0.
void Result(uint32_t r) {
    if (r != 0) Print("= %#x", r);
}

std::string Hex(const void *p, size_t n) { return smd::ToHex({static_cast<const char *>(p), n}); }

std::string Where(const void *p) {
    const auto *b = static_cast<const uint8_t *>(p);
    return gBlock && b >= gBlock && b <= gBlock + gBlockSize ? "@+" + std::to_string(b - gBlock) : "@elsewhere";
}

std::string Text(const Message &m, const void *record) {
    return smd::RecordText(m.schema, record, smd::Style::kSparse);
}

void OnDelivery(const VornHost_Delivery *d, void *) {
    if (d->index == 0 && Where(d->descs) != "@elsewhere") Print("descriptors %s", Where(d->descs).c_str());
    const bool packed = std::string_view(reinterpret_cast<const char *>(d->buffer), d->length) == gPacked;
    Print("sent %#x %u/%u h%u t%" PRIu64 " %u%s%s%s%s%s", d->msgId, d->index + 1, d->count, d->handle, d->target,
          d->length, Where(d->buffer).c_str(), packed ? "" : " ", packed ? "" : Hex(d->buffer, d->length).c_str(),
          d->accepted ? "" : " refused", d->refusedAllocs ? " after a refused allocation" : "");
    const Message *m = smd::FindMessage(d->msgId);
    if (m && d->recordSize == m->schema.recordSize) Print("= %s", Text(*m, d->record).c_str());
}

// Pairs of the test's own: the capture keeps nothing; the others copy the
// first byte into the record's first word (the same record on any host) and
// say so, and whether the storage they were handed held anything; the release
// says so too. H reports a record too large for the host's storage, M the largest.
uint32_t Capture(const uint8_t *, uint32_t, void *) { return 0; }
template <char N>
uint32_t Fake(const uint8_t *b, uint32_t, void *r) {
    const auto *rec = static_cast<const uint8_t *>(r);
    const bool used = std::any_of(rec, rec + VORN_HOST_RECORD_MAX, [](uint8_t v) { return v != 0; });
    Print("unpack%c %u%s", N, *static_cast<uint32_t *>(r) = b[0], used ? " into a used record" : "");
    return N == 'H' ? VORN_HOST_RECORD_MAX + 1 : N == 'M' ? VORN_HOST_RECORD_MAX : 8;
}
template <char N>
void FakeRelease(void *r) {
    Print("release%c %u", N, *static_cast<uint32_t *>(r));
}
void Clean() { Merge("clean", "run"); }

void Load(const std::string &layer, uint32_t flag) {
    if (layer != "none") {
        const std::string path = std::string(LAYERS) + "/libzvd_host" + (layer == "all" ? "" : "_" + layer) + ".so";
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (h == nullptr) Fail(std::string("cannot load ") + dlerror());
        reinterpret_cast<decltype(&ZvdHost_SetTrace)>(dlsym(h, "ZvdHost_SetTrace"))(OnCall, nullptr);
        reinterpret_cast<decltype(&ZvdHost_SetLogSink)>(dlsym(h, "ZvdHost_SetLogSink"))(OnLog, nullptr);
        reinterpret_cast<decltype(&ZvdHost_SetUseFlag)>(dlsym(h, "ZvdHost_SetUseFlag"))(flag);
    }
    VornHost_Subscribe(OnDelivery, nullptr);
}

// --- Reading a command ------------------------------------------------------

// Record storage of any message, and 0xA5 bytes after it that must stay.
struct Storage {
    alignas(16) uint8_t bytes[512];
    Storage() { memset(bytes, 0xA5, sizeof bytes); }
    bool Past(uint32_t size) const {
        return std::any_of(bytes + size, bytes + sizeof bytes, [](uint8_t b) { return b != 0xA5; });
    }
};

// The words of a command; a record is read whole, and what it owns lives here.
struct Args {
    std::string_view rest;
    smd::Arena arena;
    bool More() {
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        return !rest.empty();
    }
    std::string Word() {
        More();
        const std::string word(rest.substr(0, rest.find(' ')));
        rest.remove_prefix(word.size());
        return word;
    }
    uint64_t Number(std::string_view text, uint64_t hi = UINT64_MAX) {
        if (const std::optional<uint64_t> v = smd::ParseNumber(text, 0, hi)) return *v;
        Fail("'" + std::string(text) + "' is not a number");
    }
    // The record that starts here, if one does, into zeroed storage.
    bool Record(const Message &m, void *record) {
        memset(record, 0, m.schema.recordSize);
        if (!More() || rest[0] != '{') return false;
        smd::RecordReader in(rest, arena);
        in.Record(m.schema, record);
        rest.remove_prefix(in.Pos());
        return true;
    }
    // A word .MEMBER=VALUE: for a string member TEXT*N (TEXT N times), for a
    // list N zero elements (pages mapped read-only), for a list's count N alone.
    bool Set(const Message &m, void *record, const std::string &word) {
        if (!word.starts_with('.')) return false;
        const size_t eq = word.find('=');
        const std::string member = word.substr(1, eq - 1), value = eq == std::string::npos ? "" : word.substr(eq + 1);
        for (uint16_t i = 0; i < m.schema.slotCount; ++i) {
            const smd::Field &f = m.schema.fields[i];
            if (f.kind == smd::Kind::kString && member == f.name && value.find('*') != std::string::npos) {
                std::string text;
                for (uint64_t n = Number(value.substr(value.rfind('*') + 1)); n > 0; --n)
                    text += value.substr(0, value.rfind('*'));
                smd::Member<char *>(record, f.offset) = arena.String(text);
                return true;
            }
            if (f.kind == smd::Kind::kList && (member == f.name || member == std::string(f.name) + "Count")) {
                const uint64_t n = Number(value, UINT32_MAX);
                smd::Member<uint32_t>(record, f.offset) = static_cast<uint32_t>(n);
                if (member != f.name) return true;
                void *zeros = mmap(nullptr, n * f.size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
                if (zeros == MAP_FAILED) Fail("cannot map " + std::to_string(n) + " elements");
                smd::Member<void *>(record, f.arrayOffset) = zeros;
                return true;
            }
        }
        Fail("cannot set " + word);
    }
};

const Message &Need(const std::string &name) {
    if (const Message *m = smd::FindMessage(name)) return *m;
    Fail("no message " + name);
}

// What __pack writes for the record; nothing for one past 1 MiB (too large to compare with).
std::string Packed(const Message &m, const void *record) {
    const uint32_t size = m.measure(record);
    std::string out(size <= 1u << 20 ? size : 0, '\0');
    auto len = static_cast<uint32_t>(out.size());
    if (!out.empty() && m.pack(record, reinterpret_cast<uint8_t *>(out.data()), &len) != 0) Fail("__pack refused");
    return out;
}

// --- The library's operations -------------------------------------------------

Storage gKept;  // the record unpack kept

// unpack MSG RECORD|HEX [.MEMBER=VALUE]... [@AT=HEX]... [len=N] [nullbuf] [nullrec] [fail=K] [keep]
void Unpack(const Message &m, Args &a) {
    Storage rec;
    const bool record = a.Record(m, rec.bytes);
    std::vector<std::string> words;
    while (a.More()) words.push_back(a.Word());
    std::string buf;
    size_t from = 0;
    if (!record && !words.empty()) buf = smd::ParseHex(words[0]), from = 1;
    for (size_t i = from; i < words.size(); ++i) {
        if (words[i].starts_with('.') && !(record && a.Set(m, rec.bytes, words[i]))) Fail("nothing to set");
    }
    if (record) buf = Packed(m, rec.bytes);
    const std::string first(reinterpret_cast<const char *>(rec.bytes), m.schema.recordSize), given = Text(m, rec.bytes);
    int64_t len = -1;
    bool nullBuf = false, nullRec = false, keep = false;
    for (size_t i = from; i < words.size(); ++i) {
        const std::string &w = words[i];
        if (w.starts_with('@')) {
            const size_t eq = w.find('='), at = a.Number(w.substr(1, eq - 1));
            const std::string patch = smd::ParseHex(w.substr(eq + 1));
            if (at + patch.size() > buf.size()) Fail("patch past the end");
            buf.replace(at, patch.size(), patch);
        } else if (w.starts_with("len=")) {
            len = static_cast<int64_t>(a.Number(w.substr(4), UINT32_MAX));
        } else if (w.starts_with("fail=")) {
            LAYER(ZvdHost_FailAllocation)(a.Number(w.substr(5)));
        } else if (w == "nullbuf" || w == "nullrec" || w == "keep") {
            nullBuf |= w == "nullbuf", nullRec |= w == "nullrec", keep |= w == "keep";
        } else if (!w.starts_with('.')) {
            Fail("unknown word " + w);
        }
    }
    const auto n = len >= 0 ? static_cast<uint32_t>(len) : static_cast<uint32_t>(buf.size());
    const uint32_t size =
        m.unpack(nullBuf ? nullptr : Guarded(buf.data(), buf.size()), n, nullRec ? nullptr : rec.bytes);
    if (size != m.schema.recordSize) Print("returned %u", size);
    const bool changed = memcmp(rec.bytes, first.data(), first.size()) != 0;
    const std::string text = Text(m, rec.bytes);
    if (changed) Print("= %s", record && text == given ? "given" : text.c_str());
    if (rec.Past(m.schema.recordSize)) Print("wrote past the record");
    if (keep) gKept = rec;
    if (!keep && changed) Unsaid([&] { m.release(rec.bytes); });  // the release is release's to show
}

// release MSG: the kept record, twice
void Release(const Message &m) {
    for (int i = 0; i < 2; ++i) m.release(gKept.bytes);
    Print("= %s", Text(m, gKept.bytes).c_str());
}

// pack MSG RECORD [.MEMBER=VALUE]... [nullbuf] [nulllen]
void Pack(const Message &m, Args &a) {
    Storage rec;
    a.Record(m, rec.bytes);
    bool nullBuf = false, nullLen = false;
    while (a.More()) {
        const std::string w = a.Word();
        if (!a.Set(m, rec.bytes, w) && w != "nullbuf" && w != "nulllen") Fail("unknown word " + w);
        nullBuf |= w == "nullbuf", nullLen |= w == "nulllen";
    }
    const auto room = static_cast<uint32_t>(Packed(m, rec.bytes).size());
    std::string out(room + 8, '\xEE');
    uint32_t len = room;
    auto *buf = reinterpret_cast<uint8_t *>(out.data());
    const uint32_t r = m.pack(rec.bytes, nullBuf ? nullptr : buf, nullLen ? nullptr : &len);
    const bool untouched = out.find_first_not_of('\xEE', r == 0 ? len : 0) == std::string::npos;
    if (r == 0 && len <= 256) Print("= %s", Hex(buf, len).c_str());
    if (r == 0 && len > 256) Print("= %u bytes: %s...", len, Hex(buf, 16).c_str());
    if (r != 0) Print("= %#x, len %u", r, len);
    if (!untouched) Print("wrote past its encoding");
}

// send single|batch|msg|tomsg MSG RECORD|null [.MEMBER=VALUE]... [count=N] [handle=H] [target=T]
void Send(const std::string &kind, const Message &m, Args &a) {
    Storage rec;
    const bool given = a.Record(m, rec.bytes);
    if (!given && a.Word() != "null") Fail("a record or null");
    uint64_t count = 1, handle = 1, target = 0;
    while (a.More()) {
        const std::string w = a.Word();
        if (a.Set(m, rec.bytes, w)) continue;
        const size_t eq = w.find('=');
        const std::string name = w.substr(0, eq);
        if (eq == std::string::npos || (name != "count" && name != "handle" && name != "target"))
            Fail("unknown word " + w);
        (name == "count" ? count : name == "handle" ? handle : target) = a.Number(w.substr(eq + 1));
    }
    gPacked = Packed(m, rec.bytes);
    std::string array(m.schema.recordSize * std::clamp<uint64_t>(count, 1, 100000), '\0');
    for (size_t i = 0; i < array.size(); i += m.schema.recordSize) memcpy(&array[i], rec.bytes, m.schema.recordSize);
    const void *records = given ? array.data() : nullptr;
    const auto h = static_cast<uint32_t>(handle);
    const auto c = static_cast<uint32_t>(count);
    if (kind == "single") return Result(m.sendsingle(h, records, count, target));
    if (kind == "batch") return Result(m.sendbatch(h, records, c, target));
    if (kind == "msg") return Result(m.sendmsg(h, records, c));
    if (kind == "tomsg") return Result(m.sendtomsg(h, records, c, target));
    Fail("no send " + kind);
}

// registered: the identifiers registered, as message names where they are
// messages; a run that is a whole module's list, in its order, as the module.
void Registered() {
    // 16 slots ending where memory without access begins; one written past the count shows
    const uint8_t zeros[64] = {};
    auto *ids = reinterpret_cast<uint32_t *>(const_cast<uint8_t *>(Guarded(zeros, sizeof zeros)));
    const uint32_t n = VornHost_Registered(ids, 16);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < 16; ++i) {
        const Message *m = i < n ? smd::FindMessage(ids[i]) : nullptr;
        char hex[16];
        snprintf(hex, sizeof hex, "%#x", ids[i]);
        if (i < n || ids[i] != 0) names.push_back(m ? m->name : hex);
    }
    std::string list;
    for (size_t i = 0; i < names.size();) {
        size_t whole = 0;
        for (const auto &[module, ctx] : {std::pair{"sshc", &smd::gClientRecv}, std::pair{"sshs", &smd::gServerRecv}}) {
            std::vector<std::string> all;
            for (const Message &m : smd::Messages())
                if (m.schema.recv == ctx) all.push_back(m.name);
            if (i + all.size() <= names.size() && std::equal(all.begin(), all.end(), names.begin() + i)) {
                list += std::string(" ") + module, whole = all.size();
                break;
            }
        }
        if (whole == 0) list += " " + names[i];
        i += std::max<size_t>(whole, 1);
    }
    Print("registered%s%s; %u clean", n > 16 ? (" " + std::to_string(n) + ":").c_str() : "", list.c_str(),
          VornHost_CleanCount());
}

// --- The platform's other calls ---------------------------------------------

void Platform(const std::string &cmd, Args &a) {
    if (cmd == "pair") {  // pair ID A|B|H|M|null [norelease]; pair N+: the ids 1 to N
        const std::string id = a.Word(), kind = a.Word();
        const bool release = a.Word() != "norelease", many = id.ends_with('+');
        const auto fn = kind == "A"   ? Fake<'A'>
                        : kind == "B" ? Fake<'B'>
                        : kind == "H" ? Fake<'H'>
                        : kind == "M" ? Fake<'M'>
                                      : nullptr;
        const auto rel = !release ? nullptr : kind == "B" ? FakeRelease<'B'> : FakeRelease<'A'>;
        uint32_t r = 0;
        const auto last = static_cast<uint32_t>(a.Number(many ? id.substr(0, id.size() - 1) : id, UINT32_MAX));
        for (uint32_t i = many ? 1 : last; i <= last; ++i) r = VORN_RegIDLFuncHook(i, fn, rel);
        Result(r);
    } else if (cmd == "cleans") {  // cleans N (the last one's result), or cleans null
        const std::string what = a.Word();
        uint32_t r = what == "null" ? VORN_RegIDLResorceCleanFuncHook(nullptr) : 0;
        for (uint64_t i = 0, n = what == "null" ? 0 : a.Number(what); i < n; ++i)
            r = VORN_RegIDLResorceCleanFuncHook(Clean);
        Result(r);
    } else if (cmd == "deliver") {  // deliver [to=T] ID:HEX... (handle 7), or deliver null
        std::vector<std::string> bufs;
        std::vector<SshMsgDef_MsgDesc> descs;
        uint64_t target = 0;
        bool null = false;
        while (a.More()) {
            const std::string w = a.Word();
            const size_t colon = w.find(':');
            if (w.starts_with("to=")) {
                target = a.Number(w.substr(3));
            } else if (w == "null") {
                null = true;
            } else if (colon != std::string::npos) {
                bufs.push_back(smd::ParseHex(w.substr(colon + 1)));
                descs.push_back({nullptr, static_cast<uint32_t>(a.Number(w.substr(0, colon), UINT32_MAX)), 0});
            } else {
                Fail("unknown word " + w);
            }
        }
        for (size_t i = 0; i < descs.size(); ++i)  // the buffers have stopped moving
            descs[i].buffer = reinterpret_cast<const uint8_t *>(bufs[i].data()), descs[i].length = bufs[i].size();
        const uint32_t n = null ? 1 : static_cast<uint32_t>(descs.size());
        Result(target ? VORN_SendToMsg(7, descs.data(), n, target) : VORN_SendMsg(7, null ? nullptr : descs.data(), n));
    } else if (cmd == "blocks") {  // blocks N: N blocks asked for at once, then freed right, the odd ones first
        std::vector<void *> held(a.Number(a.Word(), 1u << 20));
        Unsaid([&] {
            for (void *&p : held) p = LAYER(ZVD_OsalMemAlloc)(8, 1, "test");
        });
        const auto given = std::ranges::count_if(held, [](void *p) { return p != nullptr; });
        Print("%td given, %td refused", given, std::ssize(held) - given);
        Unsaid([&] {
            for (size_t odd : {1, 0})
                for (size_t i = odd; i < held.size(); i += 2) LAYER(ZVD_OsalMemFree)(held[i], 1, "test");
        });
    } else if (cmd == "badfree") {  // badfree KIND...: the layer's checks of a free, each kind in turn
        uint8_t stack[8];
        while (a.More()) {
            const std::string w = a.Word();
            auto *block = static_cast<uint8_t *>(w == "unknown" ? stack : LAYER(ZVD_OsalMemAlloc)(8, 1, "test"));
            if (w == "overrun") block[8] = 0;  // the first guard byte
            if (w == "twice") LAYER(ZVD_OsalMemFree)(block, 1, "test");
            LAYER(ZVD_OsalMemFree)(block, w == "arg" ? 2 : 1, "test");
        }
    } else if (cmd == "log") {  // log N: a line of N bytes written through the OS layer
        const SshMsgDef_ModuleDesc module{"ZIRKO", "ZIRKO_VANTOME_SERIAL", 0x6200};
        gLogLength = a.Number(a.Word());
        Result(LAYER(ZVD_OsalLogWrite)(&module, 2, 1, "", 0, "test", "%s", std::string(gLogLength, 'x').c_str()));
        gLogLength = 0;
    } else if (cmd == "refuse") {  // refuse send|reg|clean|KIND NTH RESULT
        const std::string call = a.Word();
        const std::string_view kinds[] = {"send", "reg", "clean"};  // in the order of VornHost_Call
        const size_t named = std::find(std::begin(kinds), std::end(kinds), call) - std::begin(kinds);
        const auto kind = static_cast<VornHost_Call>(named < std::size(kinds) ? named : a.Number(call, UINT32_MAX));
        const uint64_t nth = a.Number(a.Word());
        VornHost_Refuse(kind, nth, static_cast<uint32_t>(a.Number(a.Word(), UINT32_MAX)));
    } else if (cmd == "init") {  // init sshc|sshs recv|send
        const std::string module = a.Word(), side = a.Word();
        const bool client = module == "sshc";
        Result(side == "recv" ? (client ? sshc_msg_def_recv_init() : sshs_msg_def_recv_init())
                              : (client ? sshc_msg_def_send_init() : sshs_msg_def_send_init()));
    } else if (cmd == "counters") {  // counters [reset]
        ZvdHost_Counters c{};
        if (a.Word() == "reset") LAYER(ZvdHost_ResetCounters)();
        LAYER(ZvdHost_GetCounters)(&c);
        Print("%" PRIu64 " mem, %" PRIu64 " cache, %" PRIu64 " frees, %" PRIu64 " refused, %" PRIu64 " live of %" PRIu64
              " bytes (peak %" PRIu64 "), %" PRIu64 " logged",
              c.memAllocs, c.cacheAllocs, c.frees, c.failedAllocs, c.liveBlocks, c.liveBytes, c.peakBytes, c.logLines);
    } else if (cmd == "fail") {
        LAYER(ZvdHost_FailAllocation)(a.Number(a.Word()));
    } else if (cmd == "runclean") {
        VornHost_RunClean();
    } else if (cmd == "reset") {
        VornHost_Reset();
    } else if (cmd == "unsubscribe") {
        VornHost_Subscribe(nullptr, nullptr);
    } else if (cmd == "capture") {  // a pair for every message that keeps nothing, so that sends are printed
        for (const Message &m : smd::Messages()) VORN_RegIDLFuncHook(m.id(), Capture, nullptr);
    } else if (cmd == "registered") {
        Registered();
    } else if (cmd == "flags") {
        Print("%u use-flag queries", gUseFlagQueries);
    } else if (cmd == "swap") {  // the byte-order flags of a host of the other order
        for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend})
            c->byteOrder ^= 1;
    } else {
        Fail("unknown command " + cmd);
    }
}

void Run(const std::string &line) {
    Args a{line, {}};
    const std::string cmd = a.Word();
    try {
        if (cmd == "os") {  // os all|none|VARIANT [flag=N]
            gTrace = true;
            const std::string layer = a.Word(), flag = a.Word();
            Load(layer, flag.empty() ? 1 : static_cast<uint32_t>(a.Number(flag.substr(5), UINT32_MAX)));
        } else if (cmd == "trace") {
            gTrace = true;
        } else if (cmd == "unpack") {
            Unpack(Need(a.Word()), a);
        } else if (cmd == "release") {
            Release(Need(a.Word()));
        } else if (cmd == "pack") {
            Pack(Need(a.Word()), a);
        } else if (cmd == "send") {
            const std::string kind = a.Word();
            Send(kind, Need(a.Word()), a);
        } else {
            Platform(cmd, a);
        }
        if (a.More()) Fail("unknown word " + a.Word());
    } catch (const std::exception &e) {
        Print("error: %s", e.what());
    }
    ZvdHost_Counters c{};
    if (const auto counters = LAYER(ZvdHost_GetCounters)) counters(&c);
    if (c.liveBlocks > (cmd == "unpack" && line.find(" keep") != std::string::npos))
        Print("%" PRIu64 " live", c.liveBlocks);
    if (c.badFrees) Print("%" PRIu64 " bad frees", c.badFrees);
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
        try {
            if (commands.empty() || !commands[0].starts_with("os ")) Load("all", 1);
        } catch (const std::exception &e) {
            Print("error: %s", e.what());
        }
        for (const std::string &c : commands) {
            gOut = "$ " + c + "\n";  // first, in case the command ends the process
            if (write(fds[1], gOut.data(), gOut.size()) != static_cast<ssize_t>(gOut.size())) _exit(3);
            gOut.clear();
            Run(c), Flush();
            if (write(fds[1], gOut.data(), gOut.size()) != static_cast<ssize_t>(gOut.size())) _exit(3);
        }
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
        for (const std::string &l : lines) {
            if (l.starts_with("$ ")) commands.push_back(l.substr(2));
            want += l + "\n";
        }
        const std::string got = RunSection(commands);
        if (got == want) continue;
        ++failed;
        printf("FAILED %s\n--- expected\n%s--- got\n%s", name.c_str(), want.c_str(), got.c_str());
    }
    printf("%zu sections, %d failed\n", sections.size(), failed);
    return failed != 0 || sections.empty();
}
