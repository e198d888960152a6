// The regression runner of `make test`, and the writer of the fuzz seeds.
//   fuzz_regressions VECTORS [DIR...]
// Every byte vector of the tests (VECTORS, vectors.txt), the encoding of every
// realistic record (realistic.h, round-tripped first) and every file under the
// DIRs (the kept fault-finding inputs in fuzz/regressions) goes to each of the
// seven decoders, through the checks the fuzz targets apply (each allocation
// of an accepted input failing in turn), and so does every copy of it with one
// byte set to 0x00 or 0xFF or lowered by 2. Aborts at the first broken
// invariant; prints what it covered. Every vector also decodes to the record
// it gives, and a pack vector's record packs back to its bytes; every prefix of
// every input is decoded too.
//   fuzz_regressions --seeds OUT VECTORS
// Writes the same vectors and encodings into OUT/<Message>/, the seed corpus
// of each decoder's fuzz target.
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "invariants.h"
#include "realistic.h"
#include "vectors.h"

namespace fs = std::filesystem;
using namespace smd_fuzz;

// A vector decodes to its record, and a pack vector's record packs to its bytes.
void CheckVector(const ByteVector &v) {
    const std::string line = "vectors.txt line " + std::to_string(v.line);
    gWhere = line.c_str();
    const auto c = std::find_if(std::begin(kCodecs), std::end(kCodecs),
                                [&](const Codec &c) { return v.message == strchr(c.s.name, '_') + 1; });
    SMD_CHECK(c != std::end(kCodecs) && (v.kind == "pack" || v.kind == "accept"), "no such message or kind");
    Bytes rec(c->s.recordSize);
    const uint32_t n = static_cast<uint32_t>(v.bytes.size());
    SMD_CHECK(c->unpack(smd_text::Guarded(v.bytes.data(), n), n, rec.data()) && Describe(c->s, rec.data()) == v.record,
              "decodes to " + Describe(c->s, rec.data()));
    SMD_CHECK(v.kind == "accept" || CheckRoundTrip(*c, rec.data()) == v.bytes, "packs to other bytes");
    c->ops.release(rec.data());
    gWhere = "";
}

int main(int argc, char **argv) {
    const bool seeds = argc > 1 && strcmp(argv[1], "--seeds") == 0;
    if (argc < 2 || (seeds && argc != 4))
        return fprintf(stderr, "usage: %s VECTORS [DIR...] | --seeds OUT VECTORS\n", argv[0]), 2;
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const ByteVector &v : ReadVectors(argv[seeds ? 3 : 1])) {
        inputs.emplace_back("vector-" + std::to_string(v.line), v.bytes);
        if (!seeds) CheckVector(v);
    }
    Reset();
#define SMD_SAMPLE(Ns, Msg, ...) &smd_realistic::k##Msg,
    const void *const realistic[] = {SSH_MSG_DEF_MESSAGES(SMD_SAMPLE)};
#undef SMD_SAMPLE
    for (const Codec &c : kCodecs) {
        const std::string name = "realistic-" + std::string(strchr(c.s.name, '_') + 1);
        gWhere = name.c_str();
        inputs.emplace_back(name, CheckRoundTrip(c, realistic[&c - kCodecs]));
    }
    gWhere = "";
    if (seeds) {
        fs::remove_all(argv[2]);
        for (const smd::Schema *s : smd::kSchemas) {
            const fs::path dir = fs::path(argv[2]) / (strchr(s->name, '_') + 1);  // "SshcMsgDef_FileTrans"
            fs::create_directories(dir);
            for (const auto &[name, b] : inputs) {
                std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), b.size());
            }
        }
        printf("fuzz seeds: %zu inputs for each decoder in %s\n", inputs.size(), argv[2]);
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        for (const auto &e : fs::recursive_directory_iterator(argv[i])) {
            const std::string name = e.path().filename().string();
            if (!e.is_regular_file() || name[0] == '.' || name == "README") continue;
            std::ifstream in(e.path(), std::ios::binary);
            inputs.emplace_back(e.path().string(), Bytes(std::istreambuf_iterator<char>(in), {}));
        }
    }
    size_t injected = 0, corrupted = 0;
    auto all = [&](const Bytes &b) {
        for (const Codec &c : kCodecs) injected += CheckDecode(c, b.data(), b.size());
    };
    for (auto &[name, b] : inputs) {
        for (size_t cut = 0; cut <= b.size(); ++cut) all(Bytes(b.begin(), b.begin() + cut));  // every prefix, and all
        // Each byte in turn set to 0x00, to 0xFF and lowered by 2: every slot,
        // offset, length and count of the input once pointing nowhere, past the
        // end or wrapping (the encodings among the inputs are all shorter than
        // 1024 bytes).
        for (size_t at = 0; at < std::min<size_t>(b.size(), 1024); ++at) {
            const uint8_t kept = b[at];
            for (const uint8_t v : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(kept - 2)}) {
                if (v == kept) continue;
                b[at] = v;
                ++corrupted;
                all(b);
            }
            b[at] = kept;
        }
    }
    printf(
        "%zu inputs, their prefixes and %zu single-byte corruptions through 7 decoders, %zu allocation failures "
        "injected\n",
        inputs.size(), corrupted, injected);
    return 0;
}
