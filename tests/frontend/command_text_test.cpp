// The command text byte for byte: the first build, fully answered wizards
// down every metric, input type, model, rotation, score and plot path, the
// comment lines and the >OUTPUT: line; the text rules it relies on.
#include "frontend/command_text.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "frontend/text_rules.h"
#include "job_driver.h"

namespace orv::frontend {
namespace {

using testing::answer;
using testing::FakePrompts;
using testing::FakeText;
using testing::JobAnswers;

struct Built {
    std::string text;
    FakePrompts prompts;
};

Built build(const JobAnswers& a) {
    Wizard w;
    FakeText text;
    Built b;
    answer(w, text, b.prompts, a);
    build_job(w, text, b.prompts);
    b.text = text.text;
    return b;
}

// The line of `text` that starts with `key`, with its CR LF.
std::string line(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\r\n" + key);
    if (at == std::string::npos) return text.rfind(key, 0) == 0 ? text.substr(0, text.find("\r\n") + 2) : "";
    const std::size_t end = text.find("\r\n", at + 2);
    return text.substr(at + 2, end == std::string::npos ? std::string::npos : end - at);
}

TEST(FirstBuild, ByteForByteWithTheReminder) {
    Wizard w;
    FakeText text;
    FakePrompts prompts;
    wizard_reset(w, text, true);
    EXPECT_EQ(text.text, "");
    build_job(w, text, prompts);
    EXPECT_EQ(text.text,
              ">TITLE: \r\n"
              ">DATA:     \r\n"
              ">OUTFILE:    \r\n"
              ">METRIC:    \r\n"
              ">MODEL: PFA 1  LABELS SORT \r\n"
              ">ROTATE:   \r\n"
              ">SCORE:  \r\n"
              ">PLOT: None \r\n"
              ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 120 F \r\n"
              ">FORMAT:  \r\n"
              ">LABELS: ");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].first, "WinOrvalis Reminder");
    EXPECT_EQ(prompts.messages[0].second, "Remember to input Variable Labels");
    EXPECT_FALSE(w.hub.visible);
    // A build loads the title and data dialogs only.
    EXPECT_TRUE(w.title.loaded && w.data.loaded);
    EXPECT_FALSE(w.score.loaded);
}

TEST(FullJob, ContinuousRawPfaVarimaxWithEverything) {
    JobAnswers a;
    a.comments = "First comment\r\nsecond";
    a.title = "Twelve items";
    a.score = "REG:   Thurstone's regression method";
    a.plot = "All";
    a.technical = {"0.001", "50", "0.0001", "70", "0.15", "100"};
    a.rndstrts = "True";
    a.output = "True";
    a.matrices = {0, 3};
    const Built b = build(a);
    EXPECT_EQ(b.text,
              "*First comment \r\n"
              "*second \r\n"
              ">TITLE: Twelve items\r\n"
              ">DATA: /data/items.dat 6  200 \r\n"
              ">OUTFILE:  job.out LONG \r\n"
              ">METRIC: CO RAW  NS \r\n"
              ">MODEL: PFA 2  NOLABELS SORT \r\n"
              ">ROTATE: Varimax  \r\n"
              ">SCORE: REG \r\n"
              ">PLOT: All \r\n"
              ">TECHNICAL: 0.001 50 0.0001 70 T 0.15 SMC 100 T \r\n"
              ">OUTPUT: 2 COR FAC  \r\n"
              ">FORMAT: (6F2.0) \r\n"
              ">LABELS: ");
    EXPECT_TRUE(b.prompts.messages.empty());  // NOLABELS: no reminder
}

struct MetricCase {
    const char* item;
    const char* line;
};

void PrintTo(const MetricCase& c, std::ostream* os) { *os << '"' << c.item << '"'; }

class EachMetric : public ::testing::TestWithParam<MetricCase> {};

TEST_P(EachMetric, WritesItsCodeAndOnlyDcItsParameterLine) {
    JobAnswers a;
    a.metric = GetParam().item;
    a.cparam = "/data/guess.cpr";
    a.score = "";
    const Built b = build(a);
    EXPECT_EQ(line(b.text, ">METRIC:"), GetParam().line);
    const std::string after = b.text.substr(b.text.find(">METRIC:"));
    const std::string next = after.substr(after.find("\r\n") + 2, 9);
    if (std::string(GetParam().item).rfind("DC", 0) == 0) {
        EXPECT_EQ(line(b.text, ">CPARAM:"), ">CPARAM: /data/guess.cpr \r\n");
        EXPECT_EQ(next, ">CPARAM: ");
    } else {
        EXPECT_EQ(b.text.find(">CPARAM:"), std::string::npos);
        EXPECT_EQ(next, ">MODEL: P");
    }
}

INSTANTIATE_TEST_SUITE_P(Metrics, EachMetric,
                         ::testing::Values(MetricCase{"CO  Continuous ", ">METRIC: CO RAW  NS \r\n"},
                                           MetricCase{"DI  Dichotomous ", ">METRIC: DI RAW  NS \r\n"},
                                           MetricCase{"DC  Dichotomous corrected for guessing ",
                                                      ">METRIC: DC RAW  NS \r\n"},
                                           MetricCase{"CD  Dichotomized at medians ", ">METRIC: CD RAW  NS \r\n"},
                                           MetricCase{"OR  Ordered Polytomous ", ">METRIC: OR RAW  NS \r\n"},
                                           MetricCase{"IP  Ipsatized ", ">METRIC: IP RAW  NS \r\n"},
                                           MetricCase{"Di  Dichotomous ", ">METRIC: Di RAW  NS \r\n"}));

TEST(InputTypes, EachTypeAndSmoothing) {
    const std::pair<const char*, const char*> types[] = {
        {"RAW    Item response Data  ", ">METRIC: CO RAW  SM \r\n"},
        {"COR    N x N correlation matrix ", ">METRIC: CO COR  SM \r\n"},
        {"FLD1   N x k factor loadings matrix: orthogonal model ", ">METRIC: CO FLD1 SM \r\n"},
        {"FLD2   N x k factor loadings matrix: oblique model ", ">METRIC: CO FLD2 SM \r\n"}};
    for (const auto& [item, expected] : types) {
        JobAnswers a;
        a.type = item;
        a.smooth = "SM    Smooth the correlation matrix ";
        a.phi = "/data/phi.txt";
        a.score = "";
        const Built b = build(a);
        EXPECT_EQ(line(b.text, ">METRIC:"), expected);
        if (std::string(item).rfind("FLD2", 0) == 0) {
            // Asked for like the guessing file, written where the engine reads it.
            ASSERT_EQ(b.prompts.asked.size(), 1u);
            EXPECT_EQ(b.prompts.asked[0], "Please enter the name of the file with the factor correlation matrix");
            EXPECT_NE(b.text.find(">METRIC: CO FLD2 SM \r\n>PHI: /data/phi.txt \r\n>MODEL:"), std::string::npos);
        } else {
            EXPECT_TRUE(b.prompts.asked.empty());
            EXPECT_EQ(b.text.find(">PHI:"), std::string::npos);
        }
    }
    JobAnswers p;
    p.smooth = "PS    The correlation matrix has been previously smoothed ";
    p.score = "";
    EXPECT_EQ(line(build(p).text, ">METRIC:"), ">METRIC: CO RAW  PS \r\n");
}

TEST(InputTypes, GuessingAndFactorCorrelationFilesInTheEnginesOrder) {
    JobAnswers a;
    a.metric = "DC  Dichotomous corrected for guessing ";
    a.type = "FLD2   N x k factor loadings matrix: oblique model ";
    a.cparam = "c.cpr";
    a.phi = "phi.txt";
    a.score = "";
    const Built b = build(a);
    EXPECT_NE(b.text.find(">METRIC: DC FLD2 NS \r\n>PHI: phi.txt \r\n>CPARAM: c.cpr \r\n>MODEL:"), std::string::npos);
}

TEST(Models, EachModelWithItsDimensions) {
    const std::pair<const char*, const char*> models[] = {
        {"CMT  compute correlation matrix ", ">MODEL: CMT 0  NOLABELS SORT \r\n"},
        {"PCA  principal components ", ">MODEL: PCA 1  NOLABELS SORT \r\n"},
        {"PFA  pricipal axes factor analysis ", ">MODEL: PFA 1  NOLABELS SORT \r\n"},
        {"ROT  Rotate factor loading matrix ", ">MODEL: ROT 1  NOLABELS SORT \r\n"},
        {"TRP  Triplet test of trivariate normality", ">MODEL: TRP 1  NOLABELS SORT \r\n"}};
    for (const auto& [item, expected] : models) {
        JobAnswers a;
        a.model = item;
        a.dims = "";
        EXPECT_EQ(line(build(a).text, ">MODEL:"), expected) << item;
    }
    JobAnswers typed;
    typed.dims = "3";
    typed.labels = true;
    typed.sort = false;
    const Built b = build(typed);
    EXPECT_EQ(line(b.text, ">MODEL:"), ">MODEL: PFA 3  LABELS NOSORT \r\n");
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].second, "Remember to input Variable Labels");
}

TEST(Rotations, EachRotationWithItsParameter) {
    const std::tuple<const char*, const char*, const char*> rotations[] = {
        {"None", "", ">ROTATE: NONE  \r\n"},
        {"Varimax", "", ">ROTATE: Varimax  \r\n"},
        {"WVarimax  weighted Varimax", "", ">ROTATE: WVarimax  \r\n"},
        {"Promax", "", ">ROTATE: Promax 3 \r\n"},
        {"Promax", "4", ">ROTATE: Promax 4 \r\n"},
        {"Oblimin", "", ">ROTATE: Oblimin 0 \r\n"},
        {"Oblimin", "-0.5", ">ROTATE: Oblimin -0.5 \r\n"},
        {"HK  Harris-Kaiser ortho-oblique", "", ">ROTATE: HK 0.5 \r\n"},
        {"HK  Harris-Kaiser ortho-oblique", "0.25", ">ROTATE: HK 0.25 \r\n"}};
    for (const auto& [item, parameter, expected] : rotations) {
        JobAnswers a;
        a.rotation = item;
        a.parameter = parameter;
        EXPECT_EQ(line(build(a).text, ">ROTATE:"), expected) << item << " " << parameter;
    }
}

TEST(ScoresAndPlots, EachScoreMethodAndPlot) {
    const std::pair<const char*, const char*> scores[] = {
        {"None:  Do not compute factor scores", ">SCORE: NOSCORE \r\n"},
        {"REG:   Thurstone's regression method", ">SCORE: REG \r\n"},
        {"BART:   Bartlett's method", ">SCORE: BART \r\n"},
        {"", ">SCORE:  \r\n"}};
    for (const auto& [item, expected] : scores) {
        JobAnswers a;
        a.score = item;
        EXPECT_EQ(line(build(a).text, ">SCORE:"), expected) << item;
    }
    for (const char* plot : {"None", "Scores", "Loadings", "All", "NONE"}) {
        JobAnswers a;
        a.plot = plot;
        EXPECT_EQ(line(build(a).text, ">PLOT:"), std::string(">PLOT: ") + plot + " \r\n");
    }
}

TEST(Comments, SplitAtEveryCrLf) {
    EXPECT_EQ(comment_lines(""), "* \r\n");
    EXPECT_EQ(comment_lines(std::string(300, 'x')), "*" + std::string(300, 'x') + " \r\n");
    EXPECT_EQ(comment_lines("one\r\ntwo\r\nthree"), "*one \r\n*two \r\n*three \r\n");
    EXPECT_EQ(comment_lines("one\r\n"), "*one \r\n* \r\n");
    EXPECT_EQ(comment_lines("\r\n\r\n"), "* \r\n* \r\n* \r\n");
    // Only the pair breaks a line.
    EXPECT_EQ(comment_lines("a\rb"), "*a\rb \r\n");
}

TEST(Comments, EmptyBoxSavedGivesOneLine) {
    Wizard w;
    FakeText text;
    FakePrompts prompts;
    wizard_reset(w, text, true);
    show_dialog(w, Dialog::Comments);
    comments_save(w);
    build_job(w, text, prompts);
    EXPECT_EQ(text.text.substr(0, 12), "* \r\n>TITLE: ");
}

TEST(OutputLine, WrittenExactlyWhenOutputIsTrue) {
    JobAnswers a;
    a.output = "True";
    a.matrices = {0, 1};
    EXPECT_EQ(line(build(a).text, ">OUTPUT:"), ">OUTPUT: 2 COR SMO  \r\n");
    a.matrices = {0, 1, 2, 3, 4};
    EXPECT_EQ(line(build(a).text, ">OUTPUT:"), ">OUTPUT: 5 COR SMO EIG FAC RSD  \r\n");
    // Nothing ticked: the engine still needs the line, with a count of 0.
    a.matrices = {};
    const Built none = build(a);
    EXPECT_NE(none.text.find(" 120 T \r\n>OUTPUT: 0  \r\n>FORMAT: "), std::string::npos);
}

TEST(OutputLine, LeftOutUnderFalseWhateverIsTicked) {
    Wizard w;
    FakeText text;
    FakePrompts prompts;
    JobAnswers a;
    a.output = "True";
    a.matrices = {3};
    answer(w, text, prompts, a);
    // OUTPUT set back to F: the engine would refuse the line.
    show_dialog(w, Dialog::Technical);
    technical_pick(w, Technical::Output, "False");
    technical_save(w, prompts);
    build_job(w, text, prompts);
    EXPECT_TRUE(w.outmatrix.saved[static_cast<std::size_t>(Matrix::Fac)]);
    EXPECT_EQ(text.text.find(">OUTPUT:"), std::string::npos);
    EXPECT_NE(text.text.find(" 120 F \r\n>FORMAT: "), std::string::npos);
    // A typed "t" is T to the engine, which upper-cases it.
    show_dialog(w, Dialog::Technical);
    technical_type(w, Technical::Output, "true");
    technical_save(w, prompts);
    build_job(w, text, prompts);
    EXPECT_NE(text.text.find(" 120 t \r\n>OUTPUT: 1 FAC  \r\n>FORMAT: "), std::string::npos);
}

TEST(FileNames, QuotedExactlyWhenTheEngineWouldSplitThem) {
    EXPECT_EQ(file_item(""), "");
    EXPECT_EQ(file_item("/home/u/data.dat"), "/home/u/data.dat");
    EXPECT_EQ(file_item("C:\\x\\d-1_2.dat"), "C:\\x\\d-1_2.dat");
    EXPECT_EQ(file_item("/home/u/my data.dat"), "'/home/u/my data.dat'");
    EXPECT_EQ(file_item("a\tb"), "'a\tb'");
    EXPECT_EQ(file_item("a,b"), "'a,b'");
    EXPECT_EQ(file_item("say \"x\""), "'say \"x\"'");
    EXPECT_EQ(file_item("it's.dat"), "'it''s.dat'");
    EXPECT_EQ(file_item("''"), "''''''");

    JobAnswers a;
    a.data_file = "/home/u/my data/it's.dat";
    a.outfile = "my report.out";
    a.metric = "DC  Dichotomous corrected for guessing ";
    a.cparam = "c params.cpr";
    a.type = "FLD2   N x k factor loadings matrix: oblique model ";
    a.phi = "phi,1.txt";
    const std::string t = build(a).text;
    EXPECT_EQ(line(t, ">DATA:"), ">DATA: '/home/u/my data/it''s.dat' 6  200 \r\n");
    EXPECT_EQ(line(t, ">OUTFILE:"), ">OUTFILE:  'my report.out' LONG \r\n");
    EXPECT_EQ(line(t, ">CPARAM:"), ">CPARAM: 'c params.cpr' \r\n");
    EXPECT_EQ(line(t, ">PHI:"), ">PHI: 'phi,1.txt' \r\n");
}

TEST(Numbers, DecimalCommaBecomesAPoint) {
    EXPECT_EQ(decimal_point("0,5"), "0.5");
    EXPECT_EQ(decimal_point("-0,25"), "-0.25");
    EXPECT_EQ(decimal_point(",5"), ".5");
    EXPECT_EQ(decimal_point("1,5E-3"), "1.5E-3");
    EXPECT_EQ(decimal_point("0.5"), "0.5");
    EXPECT_EQ(decimal_point("1,2,3"), "1,2,3");
    EXPECT_EQ(decimal_point(","), ",");
    EXPECT_EQ(decimal_point("a,b"), "a,b");
    EXPECT_EQ(decimal_point("1,5E"), "1,5E");
    EXPECT_EQ(decimal_point(""), "");

    JobAnswers a;
    a.rotation = "HK  Harris-Kaiser ortho-oblique";
    a.parameter = "0,75";
    a.technical = {"0,001", "50", "0,0001", "70", "0,15", "100"};
    const std::string t = build(a).text;
    EXPECT_EQ(line(t, ">ROTATE:"), ">ROTATE: HK 0.75 \r\n");
    EXPECT_EQ(line(t, ">TECHNICAL:"), ">TECHNICAL: 0.001 50 0.0001 70 F 0.15 SMC 100 F \r\n");
    // The answers themselves stay as typed.
}

TEST(Numbers, LeadingNumberInTheCLocale) {
    EXPECT_EQ(leading_number("121"), 121.0);
    EXPECT_EQ(leading_number("  120.5x"), 120.5);
    EXPECT_EQ(leading_number("+130"), 130.0);
    EXPECT_EQ(leading_number("1e3"), 1000.0);
    EXPECT_EQ(leading_number("121,5"), 121.0);
    EXPECT_EQ(leading_number("abc"), 0.0);
    EXPECT_EQ(leading_number(""), 0.0);
}

TEST(Texts, LeftCharsCountsCharactersNotBytes) {
    EXPECT_EQ(left_chars("Di  Dichotomous ", 2), "Di");
    EXPECT_EQ(left_chars("\xC3\x84\xC3\xB6x", 2), "\xC3\x84\xC3\xB6");
    EXPECT_EQ(left_chars("a", 4), "a");
    EXPECT_EQ(left_chars("", 3), "");
}

TEST(CutWarnings, TitleOrFormatPastTheEnginesColumns) {
    JobAnswers a;
    a.title = std::string(79, 't');
    a.format = std::string(79, 'f');
    Built b = build(a);
    EXPECT_TRUE(b.prompts.messages.empty());
    a.title = std::string(80, 't');
    a.format = "(" + std::string(80, 'f') + ")";
    b = build(a);
    // The text is still built, with the whole title and format.
    EXPECT_NE(b.text.find(">TITLE: " + a.title + "\r\n"), std::string::npos);
    EXPECT_NE(b.text.find(">FORMAT: " + a.format + " \r\n"), std::string::npos);
    ASSERT_EQ(b.prompts.messages.size(), 2u);
    EXPECT_EQ(b.prompts.messages[0].first, kWarningCaption);
    EXPECT_EQ(b.prompts.messages[0].second,
              "The title is longer than 79 characters: Orvalis reads only the first 79.");
    EXPECT_EQ(b.prompts.messages[1].second,
              "The format is longer than 79 characters: Orvalis reads only the first 79.");
}

}  // namespace
}  // namespace orv::frontend
