// The main window's plain decisions: files kept byte for byte, the stored
// placement, the run permission, the report a command file names, where the
// engine is looked for and what the end of a run shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "frontend/placement.h"
#include "frontend/shell.h"
#include "frontend/text_file.h"

namespace orv::frontend {
namespace {

// ---- Text files --------------------------------------------------------------

TEST(TextFile, CrLfAndLfFilesComeBackAsTheyWere) {
    for (const std::string bytes : {"a\r\nb\r\n", "a\nb\n", "a\r\nb", "one line", "", "\r\n\r\n"}) {
        const DecodedText d = decode_text(bytes);
        EXPECT_EQ(d.text.find('\r'), std::string::npos) << bytes;
        EXPECT_EQ(encode_text(d.text, d.format), bytes);
    }
    EXPECT_EQ(decode_text("a\nb\r\n").format.line_end, LineEnd::Lf);  // the first line end decides
    EXPECT_EQ(decode_text("a\r\nb\n").format.line_end, LineEnd::CrLf);
    EXPECT_EQ(decode_text("no end").format.line_end, LineEnd::CrLf);
    // A mixed file is saved with its first line end throughout.
    const DecodedText mixed = decode_text("a\r\nb\nc\r\n");
    EXPECT_EQ(encode_text(mixed.text, mixed.format), "a\r\nb\r\nc\r\n");
    // A CR that ends no line is shown as its symbol and written back as a CR.
    EXPECT_EQ(decode_text("a\rb\r\n").text, "a\xE2\x90\x8D" "b\n");
    for (const std::string bytes : {"a\rb\r\n", "\r", "x\r\r\n", "a\rb\nc\n"})
        EXPECT_EQ(encode_text(decode_text(bytes).text, decode_text(bytes).format), bytes);
}

TEST(TextFile, Latin1FilesKeepEveryByteAndUtf8StaysUtf8) {
    const std::string latin1 = "Gr\xF6\xDF" "e\r\n\x80\xFF\r\n";
    const DecodedText d = decode_text(latin1);
    EXPECT_EQ(d.format.encoding, Encoding::Latin1);
    EXPECT_EQ(d.text, "Gr\xC3\xB6\xC3\x9F" "e\n\xC2\x80\xC3\xBF\n");
    EXPECT_EQ(encode_text(d.text, d.format), latin1);
    // Typed text that Latin-1 cannot hold makes the file UTF-8.
    EXPECT_EQ(encode_text("\xE2\x82\xAC\n", d.format), "\xE2\x82\xAC\r\n");
    const std::string utf8 = "\xC3\xB6 \xE2\x82\xAC \xF0\x9F\x98\x80\n";
    EXPECT_EQ(decode_text(utf8).format.encoding, Encoding::Utf8);
    EXPECT_EQ(encode_text(decode_text(utf8).text, decode_text(utf8).format), utf8);
}

TEST(TextFile, InvalidUtf8IsRecognised) {
    EXPECT_TRUE(valid_utf8("plain"));
    EXPECT_TRUE(valid_utf8("\xED\x9F\xBF"));         // U+D7FF
    EXPECT_FALSE(valid_utf8("\xC3"));               // cut short at the end
    EXPECT_FALSE(valid_utf8("\xE2\x82"));           // cut short
    EXPECT_FALSE(valid_utf8("\xC0\xAF"));           // overlong
    EXPECT_FALSE(valid_utf8("\xE0\x80\xAF"));       // overlong
    EXPECT_FALSE(valid_utf8("\xED\xA0\x80"));       // surrogate
    EXPECT_FALSE(valid_utf8("\xF4\x90\x80\x80"));   // beyond U+10FFFF
    EXPECT_FALSE(valid_utf8("\x80"));               // lone continuation
    EXPECT_FALSE(valid_utf8("\xC3(x"));             // bad continuation
}

// ---- Placement ---------------------------------------------------------------

TEST(Placement, StoredTextsWithDefaultsForMissingAndBadValues) {
    EXPECT_EQ(placement_from_texts({}), (Placement{1000, 1000, 6500, 6500}));
    EXPECT_EQ(placement_from_texts({"120", "-45", "9000", "7000.0"}), (Placement{120, -45, 9000, 7000}));
    // Not a number, a unit behind it, a size below 1: that key's default.
    EXPECT_EQ(placement_from_texts({"abc", "12px", "0", "-3"}), (Placement{1000, 1000, 6500, 6500}));
    EXPECT_EQ(placement_from_texts({" 15 ", "", "1e99", "nan"}), (Placement{15, 1000, 6500, 6500}));
    EXPECT_EQ(placement_texts({15, -30, 6500, 7200}), (std::array<std::string, 4>{"15", "-30", "6500", "7200"}));
}

TEST(Placement, TwipsAndPixels) {
    // 15 twips to the pixel at 96 dots per inch.
    const PixelRect r = to_pixels(Placement{}, 96, 96);
    EXPECT_EQ(r.x, 67);
    EXPECT_EQ(r.width, 433);
    EXPECT_EQ(to_pixels(Placement{1440, 720, 2880, 1440}, 120, 96).x, 120);
    EXPECT_EQ(to_pixels(Placement{1440, 720, 2880, 1440}, 120, 96).y, 48);
    EXPECT_EQ(to_twips({100, 200, 640, 480}, 96, 96), (Placement{1500, 3000, 9600, 7200}));
    // Pixels to twips and back is exact.
    const PixelRect back = to_pixels(to_twips({13, 7, 501, 333}, 96, 96), 96, 96);
    EXPECT_EQ(back.x, 13);
    EXPECT_EQ(back.height, 333);
}

TEST(Placement, OffEveryScreenFallsBackToTheDefault) {
    const std::vector<PixelRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    EXPECT_TRUE(on_some_screen({100, 100, 400, 300}, screens));
    EXPECT_TRUE(on_some_screen({3000, 900, 400, 300}, screens));  // on the second screen
    EXPECT_TRUE(on_some_screen({-360, -260, 400, 300}, screens)); // 40 pixels each way showing
    EXPECT_FALSE(on_some_screen({-361, 100, 400, 300}, screens));
    EXPECT_FALSE(on_some_screen({5000, 100, 400, 300}, screens));
    EXPECT_FALSE(on_some_screen({100, 2000, 400, 300}, screens));
    EXPECT_FALSE(on_some_screen({100, 100, 400, 300}, {}));
    const PixelRect off = restored_placement({"300000", "1000", "6500", "6500"}, screens, 96, 96);
    EXPECT_EQ(off.x, 67);
    EXPECT_EQ(off.y, 67);
    const PixelRect kept = restored_placement({"3000", "1500", "9000", "6000"}, screens, 96, 96);
    EXPECT_EQ(kept.x, 200);
    EXPECT_EQ(kept.y, 100);
    EXPECT_EQ(kept.width, 600);
}

// ---- Run permission ----------------------------------------------------------

TEST(RunPermission, OnlyAfterAFileWasReadOrWritten) {
    ShellState s;
    EXPECT_FALSE(may_run(s));
    s.run_allowed = true;  // the flag alone, without a file: still refused
    EXPECT_FALSE(may_run(s));
    job_file_read_or_written(s, "/jobs/a job.in");
    EXPECT_TRUE(may_run(s));
    EXPECT_EQ(s.open_file, "/jobs/a job.in");
    run_refused_until_saved(s);
    EXPECT_FALSE(may_run(s));
    EXPECT_EQ(s.open_file, "/jobs/a job.in");
}

// ---- Report name -------------------------------------------------------------

TEST(ReportName, TakenAsTheEngineReadsIt) {
    EXPECT_EQ(report_name(">TITLE: t\r\n>OUTFILE:  Mixed.Out SHORT \r\n"), "Mixed.Out");
    EXPECT_EQ(report_name(">outfile: lower.out LONG"), "lower.out");
    EXPECT_EQ(report_name("  >OutFile:\tdir/r.out\tLONG\n"), "dir/r.out");
    EXPECT_EQ(report_name(">OUTFILE: r.out,LONG\n"), "r.out");
    EXPECT_EQ(report_name(">OUTFILE: r.out\r\n"), "r.out");
    EXPECT_EQ(report_name(">OUTFILE: r.out"), "r.out");
    EXPECT_EQ(report_name(">OUTFILE:  'my report.out' LONG\n"), "my report.out");
    EXPECT_EQ(report_name(">OUTFILE: \"it''s, here.out\" LONG\n"), "it''s, here.out");
    EXPECT_EQ(report_name(">OUTFILE: 'it''s.out' LONG\n"), "it's.out");
    EXPECT_EQ(report_name(">OUTFILE: /abs/path/r.out LONG\n"), "/abs/path/r.out");
}

TEST(ReportName, OnlyTheKeywordLineCountsAndAnEmptyNameIsNone) {
    EXPECT_EQ(report_name(">TITLE: see >OUTFILE: no.out\n>OUTFILE: yes.out LONG\n"), "yes.out");
    EXPECT_EQ(report_name("* >OUTFILE: comment.out\n>OUTFILE: real.out LONG\n"), "real.out");
    EXPECT_EQ(report_name(">OUTFILE: first.out\n>OUTFILE: second.out\n"), "first.out");
    EXPECT_EQ(report_name(">TITLE: none\n>DATA: d 1 1\n"), std::nullopt);
    EXPECT_EQ(report_name(""), std::nullopt);
    EXPECT_EQ(report_name(">OUTFILE:   \r\n"), std::nullopt);
    EXPECT_EQ(report_name(">OUTFILE: , LONG\n"), std::nullopt);
    EXPECT_EQ(report_name(">OUTFILE: ''\n"), std::nullopt);
    EXPECT_EQ(report_name(">OUTFILE"), std::nullopt);
}

TEST(ReportName, FoundInTheEnginesWorkingDirectory) {
    EXPECT_EQ(resolve_in("/start dir", "r.out"), "/start dir/r.out");
    EXPECT_EQ(resolve_in("/start/", "sub/r.out"), "/start/sub/r.out");
    EXPECT_EQ(resolve_in("/start", "/elsewhere/r.out"), "/elsewhere/r.out");
}

TEST(Engine, LookedForBesideTheProgramThenInTheStartDirectory) {
    EXPECT_EQ(engine_candidates("/opt/orv/bin", "/home/u/jobs"),
              (std::vector<std::string>{"/opt/orv/bin/orvcalc", "/home/u/jobs/orvcalc"}));
    EXPECT_EQ(engine_candidates("/same", "/same"), (std::vector<std::string>{"/same/orvcalc"}));
}

// ---- End of a run ------------------------------------------------------------

TEST(RunVerdict, LoadsOnlyAReportTheRunWrote) {
    const std::string r = "/w/r.out";
    RunVerdict v = judge_run({}, r, true);
    EXPECT_TRUE(v.load_report);
    EXPECT_EQ(v.message, "");
    v = judge_run({}, r, false);
    EXPECT_FALSE(v.load_report);
    EXPECT_EQ(v.message, "orvcalc ended without writing the report /w/r.out.");
    v = judge_run({false, "No such file or directory", false, 0, "", ""}, r, true);
    EXPECT_FALSE(v.load_report);  // whatever a file of that name holds, this run did not write it
    EXPECT_EQ(v.message, "orvcalc could not be started: No such file or directory");
    v = judge_run({true, "", false, 1, "FATAL ERROR: Keyword  >METRIC:   missing", ""}, r, false);
    EXPECT_FALSE(v.load_report);
    EXPECT_EQ(v.message,
              "orvcalc stopped with exit status 1.\n\nFATAL ERROR: Keyword  >METRIC:   missing\n\n"
              "It wrote no new report; /w/r.out is not shown.");
    v = judge_run({true, "", false, 1, "", ""}, r, true);
    EXPECT_TRUE(v.load_report);
    EXPECT_EQ(v.message, "orvcalc stopped with exit status 1.\n\nThe report it wrote, /w/r.out, is shown.");
    v = judge_run({true, "", true, 9, "", ""}, r, false);
    EXPECT_FALSE(v.load_report);
    EXPECT_EQ(v.message.substr(0, 26), "orvcalc ended abnormally.\n");
    // The engine's FATAL ERROR line says why, in place of its last lines.
    v = judge_run({true, "", false, 1, "FATAL ERROR: Keyword  >MODEL:   missing\nStop - Program terminated.",
                   "FATAL ERROR: Keyword  >MODEL:   missing"},
                  r, true);
    EXPECT_EQ(v.message,
              "orvcalc stopped with exit status 1.\n\nFATAL ERROR: Keyword  >MODEL:   missing\n\n"
              "The report it wrote, /w/r.out, is shown.");
}

TEST(RunVerdict, LastFatalLineOfTheOutputOrAText) {
    EXPECT_EQ(last_fatal_line(""), "");
    EXPECT_EQ(last_fatal_line("Reading Data\nFinished\n"), "");
    EXPECT_EQ(last_fatal_line("  FATAL ERROR! Input correlation matrix not found \r\n\r\n"
                              "                             FATAL ERROR: VARIABLE   3 HAS NO VARIANCE\r\n"
                              "Stop - Program terminated."),
              "FATAL ERROR: VARIABLE   3 HAS NO VARIANCE");
    OutputTail t;
    t.append("                             FATAL ERROR: Promax requires a power\n\n");
    for (int i = 1; i <= 20; ++i) t.append("line " + std::to_string(i) + "\n");
    t.append("FATAL ERROR: unfinished");
    // Kept after its paragraph has gone; a line counts once it has ended.
    EXPECT_EQ(t.last_fatal(), "FATAL ERROR: Promax requires a power");
    EXPECT_EQ(t.last_message().find("Promax"), std::string::npos);
}

// The engine's window records as a pipe gets them: the banner, progress
// lines at column 30, the message, the stop line.
std::string engine_output(const std::string& after_banner) {
    const std::string rule = std::string(23, ' ') + "0" + std::string(72, '=') + "0\n";
    const std::string row = std::string(23, ' ') + "|" + std::string(72, ' ') + "|\n";
    return std::string(8, '\n') + rule + row + std::string(23, ' ') + "|" + std::string(29, ' ') + "Orvalis 2.0" +
           std::string(32, ' ') + "|\n" + row + rule + after_banner;
}

TEST(RunVerdict, LastMessageSaysWhyWithoutTheBannerOrTheProgress) {
    const std::string at30(28, ' ');
    const auto message = [](const std::string& output) {
        OutputTail t;
        t.append(output);
        return t.last_message();
    };
    // A stop right after the banner.
    EXPECT_EQ(message(engine_output("Input/output error: Unit not connected (unit 12, file /j/x.in)\n")),
              "Input/output error: Unit not connected (unit 12, file /j/x.in)");
    // The message in the paragraph of the progress lines.
    EXPECT_EQ(message(engine_output(at30 + "Reading Correlations\n" + at30 + "Performing factor analysis\n" + at30 +
                                    "Iteration:   22\r\n" + at30 +
                                    "ERROR 100:  SERIOUS PROBLEMS OCCURED DURING ITERATION 22\n"
                                    " Press Enter to continue\nStop - Program terminated.\n")),
              "ERROR 100:  SERIOUS PROBLEMS OCCURED DURING ITERATION 22");
    // A library's message of several lines, after an empty line, is kept
    // whole up to its limit.
    EXPECT_EQ(message(engine_output(at30 + "Iteration:    9\n\n"
                                           "*** TERMINAL ERROR 7 from DF2ARR.  MAXIT = 0.\n"
                                           "    Here is a traceback of subprogram calls in reverse order:\n"
                                           "    Routine name                    Error type  Error code\n"
                                           "    DF2ARR                               5           7\n"
                                           "Stop - Program terminated.\n")),
              "*** TERMINAL ERROR 7 from DF2ARR.  MAXIT = 0.\n"
              "Here is a traceback of subprogram calls in reverse order:\n"
              "Routine name                    Error type  Error code\n"
              "DF2ARR                               5           7");
    std::string long_message = "Fatal Error: first\n";
    for (int i = 1; i <= 20; ++i) long_message += "detail " + std::to_string(i) + "\n";
    EXPECT_EQ(message(engine_output(long_message)),
              "Fatal Error: first\ndetail 1\ndetail 2\ndetail 3\ndetail 4\ndetail 5\ndetail 6\ndetail 7");
    // Without a line that names an error: the last paragraph, an unfinished
    // line included, and a stop that carries its own message.
    EXPECT_EQ(message(engine_output(at30 + "Reading Data\n\n" + at30 + "Computing correlations\n" + at30 + "Pair: 3")),
              "Computing correlations\nPair: 3");
    EXPECT_EQ(message(engine_output(at30 + "Reading Data\nStop - Program terminated because its window was closed\n")),
              "Reading Data\nStop - Program terminated because its window was closed");
    EXPECT_EQ(message(engine_output("")), "");
    EXPECT_EQ(message(""), "");
}

TEST(RunVerdict, OutputTailKeepsLinesBounded) {
    OutputTail wide;
    wide.append(std::string(100000, 'x') + "\nend");
    EXPECT_EQ(wide.last_message(), std::string(OutputTail::kLineChars, 'x') + "\nend");
    OutputTail split;  // a line may come in pieces
    split.append("Read");
    split.append("ing Data\n");
    EXPECT_EQ(split.last_message(), "Reading Data");
}

TEST(RunVerdict, StampTellsARewrittenFileFromAnOlderOne) {
    const std::string path = ::testing::TempDir() + "stamp_test.out";
    std::remove(path.c_str());
    const FileStamp none = stamp_of(path);
    EXPECT_FALSE(none.exists);
    { std::ofstream(path) << "old report"; }
    const FileStamp old = stamp_of(path);
    EXPECT_TRUE(old.exists);
    EXPECT_EQ(old.size, 10u);
    EXPECT_EQ(stamp_of(path), old);
    // Once the file system's clock has moved on from the old stamp.
    const std::string probe = path + ".clock";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    do {
        std::ofstream(probe) << "tick";
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the file system's clock did not move";
    } while (stamp_of(probe).modified_ns <= old.modified_ns);
    std::remove(probe.c_str());
    { std::ofstream(path) << "new report"; }  // same size, truncated and written again
    EXPECT_NE(stamp_of(path), old);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace orv::frontend
