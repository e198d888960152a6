// sshmsg: the library's messages on the command line. Lists the messages,
// encodes a record given as JSON, decodes a buffer (or several back to back)
// into JSON, saying which rule refused it, where, and what the record does not
// show; annotates a buffer item by item; tells which decoders accept a buffer;
// sends records through the host messaging framework, and replays captured
// bytes through it, printing what its subscriber received.
//
// Every library call (pack, unpack, release, send, registration) goes to the
// installed libssh_msg_def.so; only the annotated layout and the verdict with
// its reason come from the library's decoder run with an observer (internal.h),
// which logs nothing and keeps out of the OS layer's counters.
//
// Exit status: 0 success; 1 the library refused (a rejected buffer, a refused
// record, a send or registration that did not return 0, no decoder accepting a
// buffer) or --strict found a warning; 2 a usage, input or output error
// (unknown message, bad option, unreadable or oversized input, bad JSON or
// hex, a failed write to standard output), always as one line on stderr.
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "inspect.h"
#include "manifest.h"
#include "messages.h"
#include "record_json.h"
#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"
#include "text.h"

namespace sshmsg {
namespace {

using smd::Message;
using smd::Records;

// The library said no (or --strict did); everything else thrown is a usage or
// input error.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Standard output, written as it is made: everything printed goes through here.
smd::JsonOut &Out() {
    static smd::JsonOut out(stdout);
    return out;
}

[[gnu::format(printf, 1, 2)]] void Print(const char *format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    std::string text(static_cast<size_t>(std::max(vsnprintf(nullptr, 0, format, args), 0)) + 1, '\0');
    vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    va_end(args);
    text.pop_back();
    Out().Put(text);
}

// Every line the tool writes to standard error: escaped, so that no byte of
// the input or the arguments reaches the terminal raw.
void Say(const std::string &line) { fprintf(stderr, "sshmsg: %s\n", smd::Escape(line).c_str()); }

const Message &Need(const std::string &key) {
    if (const Message *m = smd::FindMessage(key)) return *m;
    throw std::runtime_error("unknown message '" + key + "' (see 'sshmsg list')");
}

std::string InputName(const std::string &file) { return file == "-" ? "standard input" : file; }

// FILE ("-": standard input) whole: more than kMaxInput bytes of it (`what`
// names them) are refused as soon as they are read, and so is a character no
// hex text holds, for `hex`.
std::string ReadAll(const std::string &file, const std::string &what, bool hex) {
    const struct Fd {
        int fd;
        ~Fd() {
            if (fd != STDIN_FILENO) close(fd);
        }
    } in{file == "-" ? STDIN_FILENO : open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) throw std::runtime_error(strerror(errno));
    std::string text;
    char chunk[65536];
    for (ssize_t n; (n = read(in.fd, chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error(strerror(errno));
        text.append(chunk, n);
        if (hex) smd::CheckText(text, text.size() - n);
        if (text.size() > smd::kMaxInput)
            throw std::runtime_error("more than " + std::to_string(smd::kMaxInput) + " bytes" + what);
    }
    return text;
}

// The errors of reading FILE, each naming it.
template <class F>
auto Named(const std::string &file, F read) {
    try {
        return read();
    } catch (const std::runtime_error &e) {
        throw std::runtime_error(InputName(file) + ": " + e.what());
    }
}

// The record, or with `many` the record or array of records, in FILE as JSON;
// what they own lives in `arena`.
void ReadRecords(const std::string &file, const smd::Schema &s, Records &out, smd::Arena &arena, bool many) {
    const std::string text = Named(file, [&] { return ReadAll(file, " of JSON", false); });
    Named(file, [&] {
        smd::RecordReader in(text, arena);
        many ? in.Many(s, out) : in.Record(s, out.Add());
        in.End();
        return 0;
    });
}

// --offset and --length: the bytes of the input that form the buffer.
struct Cut {
    uint64_t offset = 0;
    std::optional<uint32_t> length;
};

struct Buffer {
    std::string bytes;
    const uint8_t *data() const { return reinterpret_cast<const uint8_t *>(bytes.data()); }
    uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
};

// The buffer in FILE, binary or hex text (see text.h), cut as asked.
Buffer ReadBuffer(const std::string &file, bool hex, const Cut &cut) {
    const std::string in = Named(file, [&] {
        const std::string text = ReadAll(file, hex ? " of hex text" : "", hex);
        return hex ? smd::ParseHex(text) : text;
    });
    const std::string size = "the " + std::to_string(in.size()) + (hex ? "-byte hex input" : "-byte input");
    if (cut.offset > in.size()) {
        throw std::runtime_error(InputName(file) + ": --offset " + std::to_string(cut.offset) + " is past the end of " +
                                 size);
    }
    if (cut.length && *cut.length > in.size() - cut.offset) {
        throw std::runtime_error(InputName(file) + ":" + (cut.offset ? " --offset " + std::to_string(cut.offset) : "") +
                                 " --length " + std::to_string(*cut.length) + " runs past the end of " + size);
    }
    return {in.substr(cut.offset, cut.length.value_or(std::string::npos))};
}

// A numeric option: decimal, or hex after 0x; no sign, no blanks; lo to hi.
uint64_t ParseNumber(const std::string &name, const std::string &text, uint64_t lo, uint64_t hi) {
    if (const std::optional<uint64_t> v = smd::ParseNumber(text, lo, hi)) return *v;
    throw CLI::ValidationError(
        name, "'" + text + "' is not a number from " + std::to_string(lo) + " to " + std::to_string(hi));
}

template <class T>
void AddNumber(CLI::App *app, const std::string &name, T &value, uint64_t lo, uint64_t hi, const std::string &help) {
    app->add_option_function<std::string>(
           name,
           [&value, name, lo, hi](const std::string &text) { value = static_cast<T>(ParseNumber(name, text, lo, hi)); },
           help)
        ->type_name("N");
}

std::string Hex32(uint32_t v) {
    char out[16];
    snprintf(out, sizeof out, "0x%08X", v);
    return out;
}

std::string Quote(std::string_view text) { return smd::BytesJson(text); }

// "field0: string; field1 field2: u32; forwardPort: ForwardPort[]": members in
// slot order, runs of one type grouped.
std::string Fields(const smd::Schema &s) {
    std::string out, type;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        std::string t = f.kind == smd::Kind::kScalar ? "u32" : f.kind == smd::Kind::kString ? "string" : "";
        if (f.nested) t = smd::MessageOf(*f.nested).name;
        if (f.kind == smd::Kind::kList) t += "[]";
        if (i > 0) out += t == type && f.nested == nullptr ? " " : ": " + type + "; ";
        out += f.name;
        type = t;
    }
    return out + ": " + type;
}

// Every message's members as JSON: name and kind, and the nested message of a
// record or list (with the list's count member).
std::string MembersJson(const smd::Schema &s) {
    std::string out;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        static const char *const kKinds[] = {"scalar", "string", "record", "list"};
        out += std::string(i ? ", " : "") + "{\"name\": " + Quote(f.name) + ", \"kind\": \"" +
               kKinds[static_cast<int>(f.kind)] + "\"";
        if (f.nested) out += ", \"message\": " + Quote(smd::MessageOf(*f.nested).name);
        if (f.kind == smd::Kind::kList) out += ", \"count\": " + Quote(std::string(f.name) + "Count");
        out += "}";
    }
    return out;
}

int List(bool wire, bool json) {
    if (wire) return Print("%s", smd::WireManifest().c_str()), 0;
    if (!json) Print("%-28s %-10s %4s  %s\n", "MESSAGE", "ID", "SIZE", "MEMBERS (slot order)");
    if (json) Print("{\"messages\": [");
    for (const Message &m : smd::Messages()) {
        if (json) {
            Print(
                "%s\n  {\"name\": %s, \"qualified\": %s, \"message\": %s, \"id\": %u, \"idHex\": \"%s\", "
                "\"recordSize\": %u, \"fixedImage\": %s,\n   \"members\": [%s]}",
                &m == smd::Messages().data() ? "" : ",", Quote(m.schema.name).c_str(), Quote(m.qualified).c_str(),
                Quote(m.name).c_str(), m.id(), Hex32(m.id()).c_str(), m.schema.recordSize,
                m.image ? std::to_string(m.imageSize).c_str() : "null", MembersJson(m.schema).c_str());
            continue;
        }
        std::string fields = Fields(m.schema);
        if (m.image) fields += " (sent as a " + std::to_string(m.imageSize) + "-byte fixed image)";
        Print("%-28s %-10s %4u  %s\n", m.schema.name, Hex32(m.id()).c_str(), m.schema.recordSize, fields.c_str());
    }
    if (json) Print("\n]}\n");
    return 0;
}

// The record's compact encoding, from the library's __pack in a room that
// doubles until the record fits (__pack writes nothing when it does not).
std::string Pack(const Message &m, const void *record) {
    for (uint64_t room = 65536;; room = std::min<uint64_t>(2 * room, 0xFFFFFFFF)) {
        std::string buf(room, '\0');
        auto len = static_cast<uint32_t>(room);
        if (m.pack(record, reinterpret_cast<uint8_t *>(buf.data()), &len) == 0) return buf.substr(0, len);
        if (room == 0xFFFFFFFF) throw Refused(std::string(m.schema.name) + "__pack refused the record");
    }
}

// The bytes as a C initialiser that compiles as it stands (and that --hex reads).
std::string CArray(const Message &m, const std::string &bytes) {
    std::string out = "/* " + std::string(m.schema.name) + ", " + Count(bytes.size(), "byte") + " */\n" +
                      "const unsigned char " + m.name + "[" + std::to_string(bytes.size()) + "] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        char byte[8];
        snprintf(byte, sizeof byte, "0x%02x", static_cast<uint8_t>(bytes[i]));
        out += std::string(i % 12 == 0 ? "\n    " : " ") + byte + (i + 1 < bytes.size() ? "," : "");
    }
    return out + "\n};\n";
}

int Encode(const std::string &key, const std::string &file, bool hex, bool carray, bool image) {
    const Message &m = Need(key);
    Records record(m.schema.recordSize);
    smd::Arena arena;
    ReadRecords(file, m.schema, record, arena, false);
    std::string out;
    if (image) {
        if (m.image == nullptr) throw std::runtime_error(std::string(m.schema.name) + " has no fixed image");
        out.resize(m.imageSize);
        m.image(record.at(0), reinterpret_cast<uint8_t *>(out.data()));
    } else {
        out = Pack(m, record.at(0));
    }
    if (hex) return Print("%s\n", smd::ToHex(out).c_str()), 0;
    if (carray) return Print("%s", CArray(m, out).c_str()), 0;
    if (isatty(STDOUT_FILENO)) throw std::runtime_error("refusing to write binary to a terminal (use --hex)");
    Out().Put(out);
    return 0;
}

// The library's decode of an accepted buffer, written as JSON.
void WriteDecoded(const Message &m, const uint8_t *buf, uint32_t len, smd::JsonOut &out, smd::Style style) {
    Records record(m.schema.recordSize, 1);
    m.unpack(buf, len, record.at(0));
    smd::WriteRecord(out, m.schema, record.at(0), style);
    m.release(record.at(0));
}

// Refuses a buffer the observed decode refused, after the library's own log
// line, when it writes one.
[[noreturn]] void Reject(const Message &m, const uint8_t *buf, uint32_t len, const Layout &layout) {
    Records record(m.schema.recordSize, 1);
    m.unpack(buf, len, record.at(0));
    m.release(record.at(0));
    throw Refused(std::string(m.schema.name) + " rejected the buffer (" + Count(len, "byte") + "): " + layout.refusal);
}

// The messages of a capture (EachMessage), the first of which must be whole;
// returns the warning for a trailing part that holds no whole message, if
// there is one.
template <class F>
std::string EachWhole(const Message &m, const Buffer &data, F each) {
    Layout rest;
    const uint32_t at = EachMessage(m, data.data(), data.size(), each, &rest);
    if (at == data.size()) return "";
    if (at == 0) Reject(m, data.data(), data.size(), rest);
    const uint32_t left = data.size() - at;
    return Count(left, "byte") + " at " + std::to_string(at) + (left == 1 ? " holds" : " hold") +
           " no whole message: " + rest.refusal;
}

int Decode(const std::string &key, const std::string &file, bool hex, const Cut &cut, bool compact, bool strict,
           bool all) {
    const Message &m = Need(key);
    const Buffer data = ReadBuffer(file, hex, cut);
    const smd::Style style = compact ? smd::Style::kCompact : smd::Style::kPretty;
    const char *const level = strict ? "error: " : "warning: ";
    if (!all) {
        Layout layout;
        if (!Inspected(m, data.data(), data.size(), layout)) Reject(m, data.data(), data.size(), layout);
        const std::vector<std::string> warnings = Warnings(layout, data.data(), data.size());
        for (const std::string &w : warnings) Say(level + w);
        if (strict && !warnings.empty()) return 1;
        WriteDecoded(m, data.data(), data.size(), Out(), style);
        Print("\n");
        return 0;
    }
    int status = 0;
    const std::string rest = EachWhole(m, data, [&](uint32_t at, uint32_t length, const Layout &layout) {
        for (const std::string &w : layout.nulBytes) Say(level + ("at " + std::to_string(at) + ": ") + w);
        if (strict && !layout.nulBytes.empty()) return (void)(status = 1);
        Print("at %u, %s:%s", at, Count(length, "byte").c_str(), compact ? " " : "\n");
        WriteDecoded(m, data.data() + at, length, Out(), style);
        Print("\n");
    });
    if (!rest.empty()) Say(level + rest), status |= strict;
    return status;
}

// The buffer's layout as the decoder reads it; exits 1 when it was rejected.
int Dump(const std::string &key, const std::string &file, bool hex, const Cut &cut, bool full, bool json, bool all,
         bool strict) {
    const Message &m = Need(key);
    const Buffer data = ReadBuffer(file, hex, cut);
    auto show = [&](uint32_t at, uint32_t length, const Layout &layout) {
        if (json) {
            Print("{\"message\": %s, \"offset\": %u, \"length\": %u,\n", Quote(m.schema.name).c_str(), at, length);
        } else {
            Print("%s%s, %s\n", m.schema.name, all ? (" at " + std::to_string(at)).c_str() : "",
                  Count(length, "byte").c_str());
        }
        PrintLayout(Out(), layout, data.data() + at, length, at, full, json);
        if (json) Print("}");
    };
    if (!all) {
        Layout layout;
        const bool ok = Inspected(m, data.data(), data.size(), layout);
        show(0, data.size(), layout);
        if (json) Print("\n");
        return ok ? 0 : 1;
    }
    bool first = true;
    if (json) Print("{\"messages\": [");
    const std::string rest = EachWhole(m, data, [&](uint32_t at, uint32_t length, const Layout &) {
        // The layout of the message alone, as its own buffer.
        Layout own;
        (void)Inspected(m, data.data() + at, length, own);
        if (json) Print("%s\n", first ? "" : ",");
        first = false;
        show(at, length, own);
    });
    if (json) Print("\n], \"trailing\": %s}\n", rest.empty() ? "null" : Quote(rest).c_str());
    if (!rest.empty()) Say((strict ? "error: " : "warning: ") + rest);
    return strict && !rest.empty();
}

// Every decoder that accepts the buffer, with its record and warnings; the
// readings without a warning, the likelier ones, first.
int Identify(const std::string &file, bool hex, const Cut &cut, bool json) {
    const Buffer data = ReadBuffer(file, hex, cut);
    struct Reading {
        const Message *m;
        std::string record;
        std::vector<std::string> warnings;
    };
    std::vector<Reading> readings;
    for (const Message &m : smd::Messages()) {
        Layout layout;
        if (!Inspected(m, data.data(), data.size(), layout)) continue;
        smd::JsonOut record;
        WriteDecoded(m, data.data(), data.size(), record, smd::Style::kCompact);
        readings.push_back({&m, std::move(record.text()), Warnings(layout, data.data(), data.size())});
    }
    std::stable_partition(readings.begin(), readings.end(), [](const Reading &r) { return r.warnings.empty(); });
    if (json) Print("{\"length\": %u, \"readings\": [", data.size());
    for (const Reading &r : readings) {
        if (json) {
            std::string warnings;
            for (const std::string &w : r.warnings) warnings += (warnings.empty() ? "" : ", ") + Quote(w);
            Print("%s\n  {\"message\": %s, \"id\": %u, \"record\": %s, \"warnings\": [%s]}",
                  &r == &readings[0] ? "" : ",", Quote(r.m->schema.name).c_str(), r.m->id(), r.record.c_str(),
                  warnings.c_str());
            continue;
        }
        Print("%s %s: %s\n", r.m->schema.name, Hex32(r.m->id()).c_str(), r.record.c_str());
        for (const std::string &w : r.warnings) Say("warning: " + std::string(r.m->schema.name) + ": " + w);
    }
    if (json) Print("%s]}\n", readings.empty() ? "" : "\n");
    if (readings.empty()) throw Refused("no decoder accepts the buffer (" + Count(data.size(), "byte") + ")");
    return 0;
}

// Whether every delivery the subscriber saw was accepted.
bool gAccepted = true;

void OnDelivery(const VornHost_Delivery *d, void *) {
    const Message *m = smd::FindMessage(d->msgId);
    const std::string what = m ? smd::RecordText(m->schema, d->record) : "(no schema)";
    gAccepted &= d->accepted != 0;
    Print("recv %u/%u: %s %s handle %u target %llu, %s, %s: %s\n", d->index + 1, d->count, m ? m->schema.name : "?",
          Hex32(d->msgId).c_str(), d->handle, static_cast<unsigned long long>(d->target),
          d->accepted ? "accepted" : "rejected", Count(d->length, "byte").c_str(), what.c_str());
}

// Registers the library's modules with the host framework and subscribes;
// with `say`, prints what is registered.
void Register(bool say) {
    const uint32_t results[] = {sshc_msg_def_recv_init(), sshs_msg_def_recv_init(), sshc_msg_def_send_init(),
                                sshs_msg_def_send_init()};
    for (const uint32_t r : results) {
        if (r != 0) throw Refused("registration with the host framework failed: " + Hex32(r));
    }
    VornHost_Subscribe(&OnDelivery, nullptr);
    if (!say) return;
    uint32_t ids[VORN_HOST_MAX_IDS];
    const uint32_t n = VornHost_Registered(ids, VORN_HOST_MAX_IDS);
    std::string names;
    for (uint32_t i = 0; i < n && i < VORN_HOST_MAX_IDS; ++i) {
        const Message *m = smd::FindMessage(ids[i]);
        names += std::string(i ? " " : "") + (m ? m->name : Hex32(ids[i]));
    }
    Print("host: %s registered (%s), %s\n", Count(n, "decode/release pair").c_str(), names.c_str(),
          Count(VornHost_CleanCount(), "resource clean function").c_str());
}

// Why the library refused a send before calling the framework: a batch whose
// encodings outgrow the area, as the batch's own fit check finds, or else a
// send buffer it could not have.
std::string WhyRefused(const Message &m, Records &records, uint32_t n) {
    uint32_t used;
    const uint32_t fit = n > 1 && m.fill != nullptr ? m.fill(records.data(), n, &used) : n;
    if (fit == n) return "no send buffer could be allocated";
    const std::string record = "record " + std::to_string(fit + 1) + " of " + std::to_string(n) + " (" +
                               Count(m.measure(records.at(fit)), "byte") + ")";
    const std::string area = std::to_string(SSH_MSG_DEF_BATCH_AREA) + "-byte encoding area";
    if (fit == 0) return record + " does not fit the " + area;
    return record + " no longer fits the " + area + ": the " + (fit == 1 ? "record" : Count(fit, "record")) +
           " before it took " + Count(used, "byte");
}

int Send(const std::string &key, const std::string &file, uint32_t count, uint64_t target, uint32_t handle) {
    const Message &m = Need(key);
    Records records(m.schema.recordSize);
    smd::Arena arena;
    ReadRecords(file, m.schema, records, arena, true);
    const size_t given = records.size();
    if (given == 0) throw std::runtime_error("no records to send");
    const size_t total = given * count;
    if (total > 1000000) throw std::runtime_error("more than 1000000 records");
    records.Resize(total);
    for (size_t i = given; i < total; ++i) memcpy(records.at(i), records.at(i % given), m.schema.recordSize);

    Register(true);
    const auto n = static_cast<uint32_t>(total);
    const uint32_t result =
        target != 0 ? m.sendtomsg(handle, records.data(), n, target) : m.sendmsg(handle, records.data(), n);
    const std::string call = std::string(m.schema.name) + (target != 0 ? "__sendtomsg" : "__sendmsg");
    Print("sent: %s(handle %u, %s%s) returned %s\n", call.c_str(), handle, Count(n, "record").c_str(),
          target != 0 ? (", target " + std::to_string(target)).c_str() : "", result ? Hex32(result).c_str() : "0");
    ZvdHost_Counters c;
    ZvdHost_GetCounters(&c);
    Print("osal: %s, %s allocated; %llu still live\n", Count(c.memAllocs, "send buffer").c_str(),
          Count(c.cacheAllocs, "record block").c_str(), static_cast<unsigned long long>(c.liveBlocks));
    if (result == SSH_MSG_DEF_ERROR) throw Refused(call + " refused the send: " + WhyRefused(m, records, n));
    if (result != 0) throw Refused(call + " returned " + Hex32(result));
    return 0;
}

// The bytes as received, handed to the host framework under the message's
// identifier; 1 when the host's verdict is no.
int Replay(const std::string &key, const std::string &file, bool hex, const Cut &cut, uint64_t target,
           uint32_t handle) {
    const Message &m = Need(key);
    const Buffer data = ReadBuffer(file, hex, cut);
    Register(false);
    const SshMsgDef_MsgDesc desc{data.data(), m.id(), data.size()};
    const uint32_t result = target != 0 ? VORN_SendToMsg(handle, &desc, 1, target) : VORN_SendMsg(handle, &desc, 1);
    if (result != 0) throw Refused("the host framework returned " + Hex32(result));
    return gAccepted ? 0 : 1;
}

// What CLI11 cannot say well: a word that names no command, or an option put
// before the command it belongs to.
void CheckCommand(int argc, char **argv, const std::vector<std::string> &commands) {
    if (argc < 2) return;
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "--version") return;
    const bool known = std::find(commands.begin(), commands.end(), first) != commands.end();
    if (!first.starts_with('-') && !known) {
        throw CLI::ParseError("unknown command '" + first + "'", CLI::ExitCodes::ExtrasError);
    }
    if (first.starts_with('-')) {
        for (int i = 2; i < argc; ++i) {
            if (std::find(commands.begin(), commands.end(), argv[i]) != commands.end()) {
                throw CLI::ParseError(first + " goes after the command: sshmsg " + argv[i] + " ... " + first,
                                      CLI::ExitCodes::ExtrasError);
            }
        }
        throw CLI::ParseError(first + " before any command", CLI::ExitCodes::ExtrasError);
    }
}

int Run(int argc, char **argv) {
    CLI::App app{"Encode, decode, replay and send the SSH client and server messages of libssh_msg_def.", "sshmsg"};
    app.set_version_flag("--version", "sshmsg " SSH_MSG_DEF_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 success, 1 refused by the library (or by --strict), 2 usage, input or output error.\n"
        "The manual page, sshmsg(1) (man sshmsg), describes the commands, the JSON and hex forms and the limits.");
    std::string message, file = "-";
    bool hex = false, image = false, compact = false, strict = false, wire = false, json = false, all = false,
         full = false, carray = false;
    uint32_t count = 1, handle = 1;
    uint64_t target = 0;
    Cut cut;
    const char *kMessageHelp = "message name (PortList, SshsMsgDef_PortList) or identifier (0x71670B77)";
    const char *kFileHelp = "input file, - for standard input (default)";
    const auto addBuffer = [&](CLI::App *command) {
        command->add_option("FILE", file, kFileHelp);
        command->add_flag("--hex", hex, "read hex: plain, 0x prefixes, a C initialiser, xxd, hexdump -C or od -tx1");
        AddNumber(command, "--offset", cut.offset, 0, UINT64_MAX, "the buffer starts N bytes into the input");
        AddNumber(command, "--length", cut.length, 0, INT32_MAX, "the buffer is N bytes long (default: the rest)");
    };
    const auto addTarget = [&](CLI::App *command) {
        AddNumber(command, "--target", target, 0, UINT64_MAX,
                  "towards this target, with VORN_SendToMsg (0: VORN_SendMsg)");
        AddNumber(command, "--handle", handle, 0, UINT32_MAX, "handle passed to the framework (default 1)");
    };

    CLI::App *list = app.add_subcommand("list", "The messages: identifiers, record sizes, fields and kinds.");
    list->add_flag("--wire", wire, "the wire manifest: a line per message and per slot, to diff two builds");
    list->add_flag("--json", json, "one JSON document");
    CLI::App *encode = app.add_subcommand("encode", "Encode a record given as JSON (see sshmsg(1) for the form).");
    encode->add_option("MESSAGE", message, kMessageHelp)->required();
    encode->add_option("FILE", file, kFileHelp);
    CLI::Option *asHex = encode->add_flag("--hex", hex, "write hex text instead of binary");
    encode->add_flag("--c-array", carray, "write a C initialiser that compiles as it stands")->excludes(asHex);
    encode->add_flag("--image", image, "write the fixed image the send path uses (ForwardPort)");
    CLI::App *decode = app.add_subcommand("decode", "Decode a buffer into JSON; a rejected buffer exits with 1.");
    decode->add_option("MESSAGE", message, kMessageHelp)->required();
    addBuffer(decode);
    decode->add_flag("-c,--compact", compact, "one line of JSON");
    decode->add_flag("--strict", strict, "a warning (NUL in a string, bytes never read) is an error: exit 1");
    decode->add_flag("--all", all, "messages back to back, each where the data of the one before ends");
    CLI::App *dump = app.add_subcommand("dump", "Annotate a buffer item by item, as the decoder reads it.");
    dump->add_option("MESSAGE", message, kMessageHelp)->required();
    addBuffer(dump);
    dump->add_flag("--full", full, "strings whole");
    dump->add_flag("--json", json, "one JSON document");
    dump->add_flag("--all", all, "messages back to back, each where the data of the one before ends");
    dump->add_flag("--strict", strict, "with --all: a trailing part that holds no whole message is an error");
    CLI::App *identify =
        app.add_subcommand("identify", "List the decoders that accept a buffer, each with its record; 1 when none.");
    addBuffer(identify);
    identify->add_flag("--json", json, "one JSON document");
    CLI::App *send = app.add_subcommand(
        "send", "Register with the host framework, send the record(s) and print what the subscriber received.");
    send->add_option("MESSAGE", message, kMessageHelp)->required();
    send->add_option("FILE", file, "a record or an array of records as JSON, - for standard input (default)");
    AddNumber(send, "--count", count, 1, 1000000, "send the records N times over, in one call");
    addTarget(send);
    CLI::App *replay = app.add_subcommand(
        "replay", "Hand a captured buffer to the host framework as received; 1 when the host rejects it.");
    replay->add_option("MESSAGE", message, kMessageHelp)->required();
    addBuffer(replay);
    addTarget(replay);

    try {
        std::vector<std::string> commands;
        for (const CLI::App *sub : app.get_subcommands([](const CLI::App *) { return true; }))
            commands.push_back(sub->get_name());
        CheckCommand(argc, argv, commands);
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::string help = "sshmsg";
        for (const CLI::App *sub : app.get_subcommands()) help += " " + sub->get_name();
        Say(std::string(e.what()) + " (see '" + help + " --help')");
        return 2;
    }
    try {
        if (*list) return List(wire, json);
        if (*encode) return Encode(message, file, hex, carray, image);
        if (*decode) return Decode(message, file, hex, cut, compact, strict, all);
        if (*dump) return Dump(message, file, hex, cut, full, json, all, strict);
        if (*identify) return Identify(file, hex, cut, json);
        if (*replay) return Replay(message, file, hex, cut, target, handle);
        return Send(message, file, count, target, handle);
    } catch (const Refused &e) {
        Say(e.what());
        return 1;
    } catch (const std::exception &e) {
        Say(e.what());
        return 2;
    }
}

// Standard output is buffered, so a full disk or a closed pipe may show only
// when it is flushed and closed: that is an error too. (With SIGPIPE at its
// default, a closed pipe ends the process on the signal before this.)
int CloseOutput(int status) {
    errno = 0;
    bool written = Out().Flush();
    int error = errno;
    for (const bool failed : {fflush(stdout) != 0 || ferror(stdout) != 0, fclose(stdout) != 0}) {
        if (failed && written) error = errno;
        written &= !failed;
    }
    if (written) return status;
    Say(std::string("cannot write standard output: ") + strerror(error != 0 ? error : EIO));
    return 2;
}

}  // namespace
}  // namespace sshmsg

int main(int argc, char **argv) { return sshmsg::CloseOutput(sshmsg::Run(argc, argv)); }
