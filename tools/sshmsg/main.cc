// sshmsg: the library's messages on the command line. Lists the messages,
// encodes a record given as JSON, decodes a buffer into JSON (saying which rule
// refused it, where), annotates a buffer item by item, and sends records through
// the host messaging framework, printing what its subscriber received.
//
// Exit status: 0 success; 1 the library refused (a rejected buffer, a refused
// record, a send or registration that did not return 0); 2 a usage or input
// error (unknown message, unreadable file, bad JSON or hex).
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <stdexcept>
#include <string>

#include "messages.h"
#include "record_json.h"
#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"

namespace sshmsg {
namespace {

// The library said no; everything else thrown is a usage or input error.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const Message &Need(const std::string &key) {
    if (const Message *m = FindMessage(key)) return *m;
    throw std::runtime_error("unknown message '" + key + "' (see 'sshmsg list')");
}

std::string ReadAll(const std::string &file) {
    FILE *in = file == "-" ? stdin : fopen(file.c_str(), "rb");
    if (in == nullptr) throw std::runtime_error("cannot open " + file + ": " + strerror(errno));
    std::string data;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, in)) > 0) data.append(chunk, n);
    const bool failed = ferror(in);
    if (in != stdin) fclose(in);
    if (failed) throw std::runtime_error("cannot read " + file);
    return data;
}

Json ParseJson(const std::string &file) {
    try {
        return Json::parse(ReadAll(file));
    } catch (const Json::exception &e) {
        std::string what = e.what();  // "[json.exception.parse_error.101] parse error at ..."
        if (const size_t at = what.find("] "); at != std::string::npos) what.erase(0, at + 2);
        throw std::runtime_error((file == "-" ? "standard input" : file) + ": " + what);
    }
}

std::string Hex32(uint32_t v) {
    char out[16];
    snprintf(out, sizeof out, "0x%08X", v);
    return out;
}

// "field0: string; field1 field2: u32; forwardPort: ForwardPort[]": members in
// slot order, runs of one type grouped.
std::string Fields(const smd::Schema &s) {
    std::string out, type;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        std::string t = f.kind == smd::Kind::kScalar ? "u32" : f.kind == smd::Kind::kString ? "string" : "";
        if (f.nested) t = std::string(f.nested->name).substr(std::string(f.nested->name).find('_') + 1);
        if (f.kind == smd::Kind::kVector) t += "[]";
        if (i > 0) out += t == type && f.nested == nullptr ? " " : ": " + type + "; ";
        out += f.name;
        type = t;
    }
    return out + ": " + type;
}

int List() {
    printf("%-28s %-10s %4s  %s\n", "MESSAGE", "ID", "SIZE", "MEMBERS (slot order)");
    for (const Message &m : Messages()) {
        std::string fields = Fields(*m.schema);
        if (m.image) fields += " (sent as a " + std::to_string(m.imageSize) + "-byte fixed image)";
        printf("%-28s %-10s %4u  %s\n", std::string(m.Name()).c_str(), Hex32(m.schema->msgId).c_str(),
               m.schema->recordSize, fields.c_str());
    }
    return 0;
}

void WriteOut(const std::string &bytes, bool hex) {
    if (hex) {
        printf("%s\n", ToHex(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()).c_str());
        return;
    }
    if (isatty(STDOUT_FILENO)) throw std::runtime_error("refusing to write binary to a terminal (use --hex)");
    if (fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) throw std::runtime_error("write failed");
}

int Encode(const std::string &key, const std::string &file, bool hex, bool image) {
    const Message &m = Need(key);
    const Json j = ParseJson(file);
    Records record(m.schema->recordSize, 1);
    Arena arena;
    FromJson(*m.schema, j, record.at(0), arena);
    std::string out;
    if (image) {
        if (m.image == nullptr) throw std::runtime_error(std::string(m.Name()) + " has no fixed image");
        out.resize(m.imageSize);
        m.image(record.at(0), reinterpret_cast<uint8_t *>(out.data()));
    } else {
        // Every byte of JSON input encodes to at most a few bytes of output.
        const uint64_t room = std::min<uint64_t>(8 * j.dump().size() + 65536, 0xFFFFFFFFu);
        out.resize(room);
        uint32_t len = static_cast<uint32_t>(room);
        if (m.pack(record.at(0), reinterpret_cast<uint8_t *>(out.data()), &len) != 0) {
            throw Refused(std::string(m.Name()) + "__pack refused the record");
        }
        out.resize(len);
    }
    WriteOut(out, hex);
    return 0;
}

int Decode(const std::string &key, const std::string &file, bool hex, bool compact) {
    const Message &m = Need(key);
    std::string data = ReadAll(file);
    if (hex) data = FromHex(data);
    if (data.size() > 0x7FFFFFFF) throw std::runtime_error("buffer larger than 2 GiB");
    Records record(m.schema->recordSize, 1);
    const auto *buf = reinterpret_cast<const uint8_t *>(data.data());
    Layout layout;
    Collector collector(buf, static_cast<uint32_t>(data.size()), &layout);
    if (!m.inspect(buf, static_cast<uint32_t>(data.size()), record.at(0), collector)) {
        // The library's own log line, if it wrote one, is already on stderr.
        throw Refused(std::string(m.Name()) + " rejected the buffer (" + std::to_string(data.size()) +
                      " bytes): " + layout.refusal);
    }
    const Json j = ToJson(*m.schema, record.at(0));
    m.release(record.at(0));
    printf("%s\n", (compact ? j.dump() : Pretty(j)).c_str());
    return 0;
}

void OnDelivery(const VornHost_Delivery *d, void *) {
    const Message *m = FindMessage(d->msgId);
    const std::string what = m ? ToJson(*m->schema, d->record).dump() : "(no schema)";
    printf("recv %u/%u: %s %s handle %u target %llu, %u bytes: %s\n", d->index + 1, d->count,
           m ? std::string(m->Name()).c_str() : "?", Hex32(d->msgId).c_str(), d->handle,
           static_cast<unsigned long long>(d->target), d->length, what.c_str());
}

void Register() {
    const uint32_t results[] = {sshc_msg_def_recv_init(), sshs_msg_def_recv_init(), sshc_msg_def_send_init(),
                                sshs_msg_def_send_init()};
    for (const uint32_t r : results) {
        if (r != 0) throw Refused("registration with the host framework failed: " + Hex32(r));
    }
    uint32_t ids[VORN_HOST_MAX_IDS];
    const uint32_t n = VornHost_Registered(ids, VORN_HOST_MAX_IDS);
    std::string names;
    for (uint32_t i = 0; i < n && i < VORN_HOST_MAX_IDS; ++i) {
        const Message *m = FindMessage(ids[i]);
        names += std::string(i ? " " : "") + (m ? std::string(m->ShortName()) : Hex32(ids[i]));
    }
    printf("host: %u decode/release pairs registered (%s), %u resource clean functions\n", n, names.c_str(),
           VornHost_CleanCount());
}

int Send(const std::string &key, const std::string &file, uint32_t count, uint64_t target, uint32_t handle) {
    const Message &m = Need(key);
    const Json j = ParseJson(file);
    const Json items = j.is_array() ? j : Json::array({j});
    if (items.empty()) throw std::runtime_error("no records to send");
    const size_t total = items.size() * count;
    if (total > 1000000) throw std::runtime_error("more than 1000000 records");
    Records records(m.schema->recordSize, total);
    Arena arena;
    for (size_t i = 0; i < items.size(); ++i) {
        FromJson(*m.schema, items[i], records.at(i), arena, j.is_array() ? "[" + std::to_string(i) + "]" : "");
    }
    for (size_t i = items.size(); i < total; ++i)
        memcpy(records.at(i), records.at(i % items.size()), m.schema->recordSize);

    Register();
    VornHost_Subscribe(&OnDelivery, nullptr);
    const auto n = static_cast<uint32_t>(total);
    const uint32_t result =
        target != 0 ? m.sendtomsg(handle, records.data(), n, target) : m.sendmsg(handle, records.data(), n);
    const std::string call = std::string(m.Name()) + (target != 0 ? "__sendtomsg" : "__sendmsg");
    printf("sent: %s(handle %u, %u record%s%s) returned %s\n", call.c_str(), handle, n, n == 1 ? "" : "s",
           target != 0 ? (", target " + std::to_string(target)).c_str() : "", result ? Hex32(result).c_str() : "0");
    ZvdHost_Counters c;
    ZvdHost_GetCounters(&c);
    printf("osal: %llu send buffer%s, %llu record block%s allocated; %llu still live\n",
           static_cast<unsigned long long>(c.memAllocs), c.memAllocs == 1 ? "" : "s",
           static_cast<unsigned long long>(c.cacheAllocs), c.cacheAllocs == 1 ? "" : "s",
           static_cast<unsigned long long>(c.liveBlocks));
    if (result != 0) throw Refused(call + " returned " + Hex32(result));
    return 0;
}

// The buffer's layout as the decoder reads it; exits 1 when it was rejected.
int Dump(const std::string &key, const std::string &file, bool hex) {
    const Message &m = Need(key);
    std::string data = ReadAll(file);
    if (hex) data = FromHex(data);
    if (data.size() > 0x7FFFFFFF) throw std::runtime_error("buffer larger than 2 GiB");
    const auto *buf = reinterpret_cast<const uint8_t *>(data.data());
    const uint32_t len = static_cast<uint32_t>(data.size());
    Records record(m.schema->recordSize, 1);
    Layout layout;
    Collector collector(buf, len, &layout);
    const bool ok = m.inspect(buf, len, record.at(0), collector);
    if (ok) m.release(record.at(0));
    printf("%s, %u bytes\n%s", std::string(m.Name()).c_str(), len, FormatLayout(layout, buf, len).c_str());
    return ok ? 0 : 1;
}

int Run(int argc, char **argv) {
    CLI::App app{"Encode, decode and send the SSH client and server messages of libssh_msg_def.", "sshmsg"};
    app.set_version_flag("--version", "sshmsg 1.0.0");
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 refused by the library, 2 usage or input error.");
    std::string message, file = "-";
    bool hex = false, image = false, compact = false;
    uint32_t count = 1, handle = 1;
    uint64_t target = 0;
    const char *kMessageHelp = "message name (PortList, SshsMsgDef_PortList) or identifier (0x71670B77)";
    const char *kFileHelp = "input file, - for standard input (default)";

    CLI::App *list = app.add_subcommand("list", "The messages: identifiers, record sizes, fields and kinds.");
    CLI::App *encode = app.add_subcommand("encode", "Encode a record given as JSON (see README for the form).");
    encode->add_option("MESSAGE", message, kMessageHelp)->required();
    encode->add_option("FILE", file, kFileHelp);
    encode->add_flag("--hex", hex, "write hex text instead of binary");
    encode->add_flag("--image", image, "write the fixed image the send path uses (ForwardPort)");
    CLI::App *decode = app.add_subcommand("decode", "Decode a buffer into JSON; a rejected buffer exits with 1.");
    decode->add_option("MESSAGE", message, kMessageHelp)->required();
    decode->add_option("FILE", file, kFileHelp);
    decode->add_flag("--hex", hex, "read hex text (whitespace ignored) instead of binary");
    decode->add_flag("-c,--compact", compact, "one line of JSON");
    CLI::App *dump = app.add_subcommand("dump", "Annotate a buffer item by item, as the decoder reads it.");
    dump->add_option("MESSAGE", message, kMessageHelp)->required();
    dump->add_option("FILE", file, kFileHelp);
    dump->add_flag("--hex", hex, "read hex text (whitespace ignored) instead of binary");
    CLI::App *send = app.add_subcommand(
        "send", "Register with the host framework, send the record(s) and print what the subscriber received.");
    send->add_option("MESSAGE", message, kMessageHelp)->required();
    send->add_option("FILE", file, "a record or an array of records as JSON, - for standard input (default)");
    send->add_option("--count", count, "send the records N times over, in one call")->check(CLI::Range(1u, 1000000u));
    send->add_option("--target", target, "send with __sendtomsg towards this target (0: __sendmsg)");
    send->add_option("--handle", handle, "handle passed to the framework (default 1)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::string help = "sshmsg";
        for (const CLI::App *sub : app.get_subcommands()) help += " " + sub->get_name();
        fprintf(stderr, "sshmsg: %s (see '%s --help')\n", e.what(), help.c_str());
        return 2;
    }
    try {
        if (*list) return List();
        if (*encode) return Encode(message, file, hex, image);
        if (*decode) return Decode(message, file, hex, compact);
        if (*dump) return Dump(message, file, hex);
        return Send(message, file, count, target, handle);
    } catch (const Refused &e) {
        fprintf(stderr, "sshmsg: %s\n", e.what());
        return 1;
    } catch (const std::exception &e) {
        fprintf(stderr, "sshmsg: %s\n", e.what());
        return 2;
    }
}

}  // namespace
}  // namespace sshmsg

int main(int argc, char **argv) { return sshmsg::Run(argc, argv); }
