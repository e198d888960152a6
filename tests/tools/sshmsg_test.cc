// Runs the sshmsg tool's transcript, sshmsg.t, whose top describes the format:
// each section is one test, and each case in it a shell command whose exit
// status, whole standard output and a part of standard error must be as written.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Case {
    int line = 0;  // where the case starts in the transcript
    std::string command;
    std::string out;  // the whole of standard output
    int status = 0;
    std::optional<std::string> err;  // a part of standard error
};

struct Section {
    std::string name;
    std::vector<Case> cases;
};
void PrintTo(const Section &s, std::ostream *os) { *os << s.name; }

// A transcript that cannot be read as one stops the program before any test
// runs, saying why on standard output, which the test listing shows.
[[noreturn]] void Unreadable(int line, const char *why) {
    printf(TRANSCRIPT ":%d: %s\n", line, why);
    exit(2);
}

std::vector<Section> Read() {
    std::vector<Section> sections;
    std::ifstream in(TRANSCRIPT);
    Case *c = nullptr;  // the case being read
    std::string line;
    for (int n = 1; std::getline(in, line); n++) {
        const std::string rest = line.size() > 2 ? line.substr(2) : "";
        if (line.empty()) {
            c = nullptr;
        } else if (c && c->out.empty() && !c->err && !c->status && (line == ">" || line.starts_with("> "))) {
            c->command += "\n" + rest;
        } else if (c && (line == "!" || line.starts_with("! "))) {
            c->err = c->err ? *c->err + "\n" + rest : rest;
        } else if (c && line.size() > 2 && line[0] == '[' && line.back() == ']' &&
                   line.find_first_not_of("0123456789", 1) == line.size() - 1) {
            c->status = atoi(&line[1]);
        } else if (c) {
            c->out += line + "\n";
        } else if (line.starts_with("## ")) {
            sections.push_back({line.substr(3), {}});
        } else if (line.starts_with("$ ") && !sections.empty()) {
            c = &sections.back().cases.emplace_back(Case{n, rest, "", 0, {}});
        } else if (!line.starts_with("#")) {
            Unreadable(n, "neither a section, a comment nor a case");
        }
    }
    if (sections.empty()) Unreadable(0, "no sections");
    return sections;
}

std::string Slurp(const std::string &path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Sshmsg : public testing::TestWithParam<Section> {};

TEST_P(Sshmsg, Section) {
    const std::string dir = testing::TempDir() + "sshmsg_" + GetParam().name;
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    for (const Case &c : GetParam().cases) {
        const std::string cmd =
            "T=" SSHMSG " D=" + dir + " E=" EXAMPLES "; (" + c.command + "\n) >" + dir + "/out 2>" + dir + "/err";
        const int raw = system(cmd.c_str()), status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const std::string out = Slurp(dir + "/out"), err = Slurp(dir + "/err");
        SCOPED_TRACE(TRANSCRIPT ":" + std::to_string(c.line) + ":\n$ " + c.command + "\nstandard output:\n" + out +
                     "standard error:\n" + err);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(out, c.out);
        EXPECT_NE(err.find(c.err.value_or("")), std::string::npos) << "standard error lacks:\n" << c.err.value_or("");
    }
}

INSTANTIATE_TEST_SUITE_P(Transcript, Sshmsg, testing::ValuesIn(Read()),
                         [](const testing::TestParamInfo<Section> &info) { return info.param.name; });

}  // namespace
