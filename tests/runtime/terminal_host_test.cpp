// The terminal host: carriage control on terminals and logs, the pause, the
// file prompt and the yes/no question, and the host of the process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "runtime/terminal_host.h"
#include "runtime/units.h"

namespace orv::rt {
namespace {

// A host on an input text and a temporary output file.
class Harness {
public:
    explicit Harness(const std::string& input, bool interactive)
        : in_(std::tmpfile()), out_(std::tmpfile()) {
        std::fputs(input.c_str(), in_);
        std::rewind(in_);
        host.emplace(std::vector<std::string>{}, in_, out_, interactive);
    }
    ~Harness() {
        host.reset();
        std::fclose(in_);
        std::fclose(out_);
    }
    std::string output() {
        std::fflush(out_);
        std::rewind(out_);
        std::string s;
        for (int c; (c = std::fgetc(out_)) != EOF;) s.push_back(static_cast<char>(c));
        std::fseek(out_, 0, SEEK_END);
        return s;
    }
    std::string rest_of_input() {
        std::string s;
        for (int c; (c = std::fgetc(in_)) != EOF;) s.push_back(static_cast<char>(c));
        return s;
    }
    std::optional<TerminalHost> host;

private:
    std::FILE* in_;
    std::FILE* out_;
};

TEST(TerminalHost, CarriageControl) {
    struct Case {
        std::vector<std::string> records;
        std::string log;       // output that is not a terminal
        std::string terminal;  // output on a terminal
    };
    const Case cases[] = {
        {{" a", " b"}, "a\nb\n", "a\nb\n"},
        {{" X", "+Y", "+Z", " W"}, "Z\nW\n", "X\rY\x1b[K\rZ\x1b[K\nW\n"},
        {{"+A"}, "A\n", "\rA\x1b[K\n"},
        {{"", "0x", "1y"}, "\nx\ny\n", "\nx\ny\n"},
        {{" long line", "+s"}, "s\n", "long line\rs\x1b[K\n"},
        {{" a", "+"}, "\n", "a\r\x1b[K\n"},
    };
    for (const Case& c : cases) {
        for (bool interactive : {false, true}) {
            SCOPED_TRACE(c.log + (interactive ? " on a terminal" : ""));
            Harness h("", interactive);
            for (const std::string& r : c.records) h.host->write_record(r);
            h.host->end_of_run(0);
            EXPECT_EQ(h.output(), interactive ? c.terminal : c.log);
        }
    }
}

TEST(TerminalHost, PauseWaitsOnlyOnATerminal) {
    {
        Harness h("next\nmore\n", false);
        h.host->write_record(" message");
        h.host->pause();
        EXPECT_EQ(h.output(), "message\n");
        EXPECT_EQ(h.rest_of_input(), "next\nmore\n");
    }
    {
        Harness h("\nmore\n", true);
        h.host->write_record(" message");
        h.host->pause();
        EXPECT_EQ(h.output(), "message\nPress Enter to continue");
        EXPECT_EQ(h.rest_of_input(), "more\n");
    }
}

TEST(TerminalHost, FilePrompt) {
    struct Case {
        std::string input;
        std::optional<std::string> chosen;
    };
    const Case cases[] = {
        {"job.in\n", "job.in"},
        {"  /a b/job.in \r\n", "/a b/job.in"},
        {"\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        Harness h(c.input, false);
        h.host->set_dialog_filter("OV INPUT *.in, *.in; All Files, *.*");
        h.host->write_record(" banner");
        EXPECT_EQ(h.host->choose_file("Open: Select File for Unit 12"), c.chosen);
        const std::string out = h.output();
        EXPECT_EQ(out.rfind("banner\nOpen: Select File for Unit 12\n", 0), 0u) << out;
        EXPECT_NE(out.find("OV INPUT *.in, *.in; All Files, *.*"), std::string::npos);
    }
}

TEST(TerminalHost, YesNoQuestion) {
    struct Case {
        std::string input;
        bool default_yes;
        bool answer;
    };
    const Case cases[] = {
        {"y\n", false, true},     {"No\n", true, false}, {"\n", false, false}, {"\n", true, true},
        {"", false, true},        // end of input: Yes
        {"maybe\nn\n", true, false},
        {"maybe\n", false, true},  // then the end of input
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        Harness h(c.input, false);
        EXPECT_EQ(h.host->ask_yes_no("File Open Error", "A File Must be Selected\r\rTerminate Program?", c.default_yes),
                  c.answer);
        EXPECT_EQ(h.output().rfind("File Open Error\nA File Must be Selected\n\nTerminate Program?", 0), 0u);
    }
}

TEST(TerminalHost, StatusIsSilentAndEndModesAreChecked) {
    Harness h("", false);
    h.host->set_status("Running");
    EXPECT_EQ(h.host->status(), "Running");
    EXPECT_EQ(h.output(), "");
    for (int mode : {1, 2, 3}) {
        EXPECT_EQ(h.host->set_end_mode(mode), 0);
        EXPECT_EQ(static_cast<int>(h.host->end_mode()), mode);
    }
    for (int mode : {0, 4, -1}) {
        EXPECT_EQ(h.host->set_end_mode(mode), -1);
        EXPECT_EQ(h.host->end_mode(), EndMode::Stay);
    }
}

TEST(TerminalHost, ProcessHost) {
    Host& standard = host();
    EXPECT_NE(dynamic_cast<TerminalHost*>(&standard), nullptr);
    EXPECT_TRUE(standard.arguments().empty());
    Harness h("", false);
    set_host(&*h.host);
    EXPECT_EQ(&host(), &*h.host);
    set_host(nullptr);
    EXPECT_EQ(&host(), &standard);
}

// A run without an argument whose input ends: the prompt is cancelled, the
// question is answered Yes and the run stops with status 1.
TEST(TerminalHost, CancelledFilePromptStopsTheRun) {
    Harness h("", false);
    set_host(&*h.host);
    const int status = run_program([] {
        write_record(kConsoleUnit, " banner");
        open_unit(12, "");
        write_record(kConsoleUnit, " not reached");
    });
    set_host(nullptr);
    EXPECT_EQ(status, 1);
    const std::string out = h.output();
    EXPECT_EQ(out.rfind("banner\nOpen: Select File for Unit 12\n", 0), 0u) << out;
    EXPECT_NE(out.find("Terminate Program?"), std::string::npos);
    // The user ended the run: no stop line follows the question.
    EXPECT_EQ(out.find("Stop - Program terminated."), std::string::npos);
    EXPECT_EQ(out.find("not reached"), std::string::npos);
    EXPECT_FALSE(unit_connected(12));
}

}  // namespace
}  // namespace orv::rt
