#include "numlib/routines2/erset.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using Records = std::vector<std::string>;
using testing::stops_plainly;

class ErrorMachinery : public Num2Fixture {};

// A routine called by the engine (level 2) that calls one more routine
// (level 3) which raises the message.
void raise_at_depth(int depth, int type, int code, std::string_view text) {
    E1PSH("DOUTER");
    if (depth == 3) E1PSH("DINNER");
    E1MES(type, code, text);
    if (depth == 3) E1POP("DINNER");
    E1POP("DOUTER");
}

TEST_F(ErrorMachinery, BadSeverityPrintsTwoRecordsAndStopsAtThePop) {
    EXPECT_TRUE(stops_plainly([] { ERSET(9, 1, 1); }));
    // The head leaves 46 characters; the last blank within them is the
    // second of the two after the full stop: the first record ends before
    // it, the next record starts after it.
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from ERSET.  Invalid error severity level indicator. ",
                               " ***          IERSVR must be 0 to 5.  IERSVR = 9"}));
    int p = -9, s = -9;
    ERATTR(-5, p, s);  // the attributes did not change
    EXPECT_EQ(p, 1);
    EXPECT_EQ(s, 1);
}

TEST_F(ErrorMachinery, BadActionsUnderEverythingPrintedAreReportedAndChangeNothing) {
    ERSET(0, 1, 0);
    take();
    EXPECT_FALSE(stops_plainly([] { ERSET(3, 7, -2); }));
    const Records r = take();
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 2 from ERSET.  Invalid value specified for printing");
    EXPECT_EQ(r[2], " ***          action.  IPACT must be -1 to 2.  IPACT = 7");
    EXPECT_EQ(r[4], " *** TERMINAL ERROR 3 from ERSET.  Invalid value specified for stopping");
    EXPECT_EQ(r[5], " ***          action.  ISACT must be -1 to 2.  ISACT = -2");
    int p = -9, s = -9;
    ERATTR(-3, p, s);
    EXPECT_EQ(p, 1);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(LSTERR(), 0);  // a terminal error reads as 0
}

TEST_F(ErrorMachinery, ActionsReachTheNamedTypes) {
    struct Case {
        int iersvr, ipact, isact;
        std::array<int, 7> print, stop;
    } cases[] = {
        {0, 1, 0, {1, 1, 1, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 0}},
        {0, 0, 1, {0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1}},
        {3, 0, 1, {0, 0, 0, 1, 1, 0, 1}, {0, 0, 1, 1, 1, 1, 1}},
        {4, 0, 0, {0, 0, 1, 0, 1, 1, 0}, {0, 0, 0, 0, 1, 0, 0}},
        {1, 1, -1, {1, 0, 1, 1, 1, 1, 1}, {0, 0, 0, 1, 1, 0, 1}},
        {5, -1, 0, {0, 0, 1, 1, 1, 1, 1}, {0, 0, 0, 1, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iersvr * 100 + c.ipact * 10 + c.isact);
        reset_error_machinery();
        ERSET(c.iersvr, c.ipact, c.isact);
        for (int t = 1; t <= 7; ++t) {
            int p = -9, s = -9;
            ERATTR(-t, p, s);
            EXPECT_EQ(p, c.print[t - 1]) << "type " << t;
            EXPECT_EQ(s, c.stop[t - 1]) << "type " << t;
        }
        ERSET(0, 2, 2);  // back to the defaults
        int p = -9, s = -9;
        ERATTR(-4, p, s);
        EXPECT_EQ(p, 1);
        EXPECT_EQ(s, 1);
        ERATTR(-2, p, s);
        EXPECT_EQ(p, 0);
        EXPECT_EQ(s, 0);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(ErrorMachinery, AttributeWorkerRefusesBadValues) {
    int p = 3, s = 0;
    EXPECT_TRUE(stops_plainly([&] { ERATTR(2, p, s); }));
    const Records r = take();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 1 from ERATTR.  Invalid value specified for print table");
    EXPECT_EQ(r[2], " ***          attribute.  IPATT must be -1, 0, 1, or 2.  IPATT = 3");
    ERATTR(-2, p, s);
    EXPECT_EQ(p, 0);
}

TEST_F(ErrorMachinery, TerminalErrorBelowTheCalledRoutinePrintsATraceback) {
    E1PSH("DLINDS");
    E1PSH("dLFTDS");
    MSGINT(1, 3);
    E1MES(5, 4, "The leading %(I1) by %(I1) minor is not positive definite.");
    EXPECT_EQ(take(),
              (Records{"", " *** TERMINAL ERROR 4 from DLFTDS.  The leading 3 by 3 minor is not positive",
                       " ***          definite.", "     Here is a traceback of subprogram calls in reverse order:",
                       "     Routine name                    Error type  Error code",
                       "     ------------                    ----------  ----------",
                       "     DLFTDS                               5           4    (Called internally)",
                       "     DLINDS                               0           0",
                       "     USER                                 0           0"}));
    EXPECT_TRUE(stops_plainly([] { E1POP("dLFTDS"); }));
    EXPECT_TRUE(host_.records.empty());  // printed once, where it arose
}

TEST_F(ErrorMachinery, WarningTravelsUpAndPrintsWhenTheCalledRoutineReturns) {
    E1PSH("DEVESF");
    E1PSH("DE2ESF");
    MSGINT(1, 7);
    E1MES(3, 2, "The iteration for eigenvector %(I1) did not converge.");
    E1POP("DE2ESF");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_FALSE(stops_plainly([] { E1POP("DEVESF"); }));
    EXPECT_EQ(take(), (Records{"", " *** WARNING  ERROR 2 from DEVESF.  The iteration for eigenvector 7 did not",
                               " ***          converge."}));
    EXPECT_EQ(LSTERR(), 2);
    EXPECT_EQ(N1RTY(1), 3);
    EXPECT_EQ(N1RTY(0), 3);  // handed on to the user level as well
}

// A routine with a scoped level: a warning and an early return, or a throw.
void scoped_routine(bool early, bool fail) {
    ErrorLevel frame("DSCOPE");
    MSGINT(1, 7);
    E1MES(3, 2, "The iteration for eigenvector %(I1) did not converge.");
    if (early) return;
    if (fail) throw std::length_error("DSCOPE: X is short");
    E1MES(3, 3, "A second warning.");
}

TEST_F(ErrorMachinery, ScopedLevelPopsOnEveryReturnButNotWhenAnExceptionLeaves) {
    const Records warning{"", " *** WARNING  ERROR 2 from DSCOPE.  The iteration for eigenvector 7 did not",
                          " ***          converge."};
    scoped_routine(true, false);
    EXPECT_EQ(take(), warning);  // popped at the early return, so printed there
    EXPECT_EQ(LSTERR(), 2);
    scoped_routine(false, false);
    EXPECT_EQ(take(), (Records{"", " *** WARNING  ERROR 3 from DSCOPE.  A second warning."}));
    EXPECT_EQ(LSTERR(), 3);

    // The length error leaves the level on the stack, unprinted: the next
    // pop at this depth is the routine's own.
    EXPECT_THROW(scoped_routine(false, true), std::length_error);
    EXPECT_TRUE(host_.records.empty());
    EXPECT_FALSE(stops_plainly([] { E1POP("DSCOPE"); }));
    EXPECT_EQ(take(), warning);

    // pop() pops once; the level's end does not pop again.
    {
        ErrorLevel frame("DSCOPE");
        E1MES(3, 4, "Popped early.");
        frame.pop();
        EXPECT_EQ(take(), (Records{"", " *** WARNING  ERROR 4 from DSCOPE.  Popped early."}));
    }
    EXPECT_TRUE(host_.records.empty());
    raise_at_depth(2, 3, 5, "Still at the user level.");
    EXPECT_EQ(take(), (Records{"", " *** WARNING  ERROR 5 from DOUTER.  Still at the user level."}));
}

TEST_F(ErrorMachinery, LastErrorAfterEachTypeAtTwoDepths) {
    ERSET(0, 0, 0);  // nothing printed, nothing stops
    // LSTERR per type 1..7: raised in the called routine, and one level deeper.
    const int at2[7] = {11, 12, 13, 14, 0, 0, 0};
    const int at3[7] = {0, 12, 13, 14, 0, 0, 0};
    for (int type = 1; type <= 7; ++type) {
        SCOPED_TRACE(type);
        raise_at_depth(2, type, 10 + type, "Something happened.");
        EXPECT_EQ(LSTERR(), at2[type - 1]);
        raise_at_depth(3, type, 10 + type, "Something happened.");
        EXPECT_EQ(LSTERR(), at3[type - 1]);
        EXPECT_EQ(N1RCD(1), type == 1 ? 0 : 10 + type);
    }
    // A routine that raised nothing.
    raise_at_depth(3, -1, -1, " ");
    EXPECT_EQ(LSTERR(), 0);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(ErrorMachinery, DefaultsDecideWhereEachTypeStops) {
    // type, depth -> stops, records printed
    struct Case {
        int type, depth;
        bool stops;
        std::size_t records;
    } cases[] = {
        {1, 2, false, 0}, {2, 3, false, 0}, {3, 3, false, 2}, {4, 2, true, 2}, {4, 3, true, 2},
        {5, 2, true, 2},  {5, 3, true, 8},  {6, 3, false, 8}, {7, 2, true, 2}, {7, 3, true, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type * 10 + c.depth);
        reset_error_machinery();
        host_.records.clear();
        EXPECT_EQ(stops_plainly([&] { raise_at_depth(c.depth, c.type, 3, "Short text."); }), c.stops);
        EXPECT_EQ(host_.records.size(), c.records);
    }
}

TEST_F(ErrorMachinery, NothingPrintedNothingStopping) {
    ERSET(0, 0, 0);
    E1PSH("DLINDS");
    E1MES(4, 2, "The input matrix is not positive definite.");
    EXPECT_FALSE(stops_plainly([] { E1POP("DLINDS"); }));
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(LSTERR(), 2);
}

TEST_F(ErrorMachinery, EverythingPrintedNoteOnlyFromTheCalledRoutine) {
    ERSET(0, 1, 0);
    raise_at_depth(3, 1, 4, "A deeper note.");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(LSTERR(), 0);
    raise_at_depth(2, 1, 5, "A note.");
    EXPECT_EQ(take(), (Records{"", " *** NOTE     ERROR 5 from DOUTER.  A note."}));
    EXPECT_EQ(LSTERR(), 5);
    // An immediate fatal error prints at once, returns and reads as 0.
    EXPECT_FALSE(stops_plainly([] { raise_at_depth(2, 7, 6, "At once."); }));
    EXPECT_EQ(take(), (Records{"", " *** FATAL    ERROR 6 from DOUTER.  At once."}));
    EXPECT_EQ(LSTERR(), 0);
}

TEST_F(ErrorMachinery, ImmediateFatalStopsOnlyAtTheUserLevel) {
    E1PSH("DOUTER");
    E1PSH("DINNER");
    E1MES(7, 9, "Immediate.");
    EXPECT_EQ(host_.records.size(), 8u);  // printed at once with its traceback
    EXPECT_FALSE(stops_plainly([] { E1POP("DINNER"); }));
    E1MES(6, 1, "Then a warning.");
    EXPECT_TRUE(stops_plainly([] { E1POP("DOUTER"); }));  // type 7 pending: its stop wins
}

TEST_F(ErrorMachinery, LongTextsAreWrappedWithoutLoss) {
    const std::string word(150, 'w');  // longer than two continuation records
    E1PSH("DTEST");
    MSGTXT(1, word);
    MSGINT(1, -12);
    MSGDBL(1, 1.5);
    E1MES(6, 3, "Value %(I1) and %(d1) for a name that never ends, %(L1) end.");
    // Head " 3 from DTEST" leaves 46 characters.
    const std::string text = ".  Value -12 and 1.500000000000000D+00 for a name that never ends, " + word + " end.";
    ASSERT_EQ(text.substr(0, 46), ".  Value -12 and 1.500000000000000D+00 for a n");
    const Records r = take();
    // The word has no blank within 64 characters: cut into full pieces; the
    // last piece shares its record with what follows.
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[1], " *** WARNING  ERROR 3 from DTEST.  Value -12 and 1.500000000000000D+00 for a");
    EXPECT_EQ(r[2], " ***          name that never ends, ");
    EXPECT_EQ(r[3], " ***          " + word.substr(0, 64));
    EXPECT_EQ(r[4], " ***          " + word.substr(64, 64));
    EXPECT_EQ(r[5], " ***          " + word.substr(128) + " end.");
    E1POP("DTEST");
}

// Where each record of a wrapped message breaks, pinned exactly: the blank
// that ends the first record's room is dropped and only one leading blank
// of each continuation skipped; a continuation keeps the blank it breaks
// at, and a blank just past its 64 characters is not one of them.
TEST_F(ErrorMachinery, ContinuationRecordsBreakAtTheLastBlankOfTheirSixtyFour) {
    const std::string a(42, 'a'), b(10, 'b'), c(52, 'c'), d(64, 'd');
    E1PSH("DTEST");
    // Text ".  " + a fills the 46 characters of room; three blanks follow.
    E1MES(6, 3, a + "   " + b + " " + c + " " + d);
    const Records r = take();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[1], " *** WARNING  ERROR 3 from DTEST.  " + a);
    // The second of the three blanks skipped, the third kept; the blank
    // after c would be this record's 65th character.
    EXPECT_EQ(r[2], " ***           " + b + " ");
    EXPECT_EQ(r[3], " ***          " + c + " ");
    EXPECT_EQ(r[4], " ***          " + d);  // exactly 64 characters left: one record
    E1POP("DTEST");
}

TEST_F(ErrorMachinery, InsertionFieldsAndTheirForms) {
    ERSET(0, 1, 0);
    struct Case {
        std::function<void()> store;
        std::string msg, shown;
    } cases[] = {
        {[] { MSGDBL(2, 0.0); }, "x=%(D2)", "x=0.000000000000000D+00"},
        {[] { MSGDBL(2, -0.03125); }, "x=%(D2)", "x=-3.125000000000000D-02"},
        {[] { MSGDBL(2, 1.0e300); }, "x=%(D2)", "x=1.000000000000000+300"},
        {[] { MSGDBL(2, std::nan("")); }, "x=%(D2)", "x=NaN"},
        {[] { MSGDBL(2, -std::numeric_limits<double>::infinity()); }, "x=%(D2)", "x=-Infinity"},
        {[] { MSGINT(9, INT_MIN); }, "%(i9)", "-2147483648"},
        {[] { MSGINT(0, 5); }, "%(I0)|%(I1)", "%(I0)|%(I1)"},
        {[] { MSGINT(10, 5); }, "%(I10)", "%(I10)"},
        {[] { MSGTXT(2, "ab  "); }, "[%(L2)]", "[ab]"},
        {[] { MSGTXT(-2, "ab  "); }, "[%(L2)]", "[ab  ]"},
        {[] { MSGTXT(2, "   "); }, "[%(L2)]", "[ ]"},
        {[] { MSGTXT(-3, "t"); }, "[%(l3)]%(A3)%(X3)%(L3", "[t]%(A3)%(X3)%(L3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msg);
        E1PSH("DTEST");
        c.store();
        E1MES(3, 1, c.msg);
        E1POP("DTEST");
        const Records r = take();
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[1], " *** WARNING  ERROR 1 from DTEST.  " + c.shown);
    }
}

TEST_F(ErrorMachinery, InsertionStoreKeepsItsThreeHundredCharacters) {
    ERSET(0, 1, 0);
    E1PSH("DTEST");
    // 255 + 8 characters fit, a second such text does not, 29 + 8 does.
    MSGTXT(1, std::string(255, 'a'));
    MSGTXT(2, std::string(255, 'b'));
    MSGTXT(3, std::string(29, 'c'));
    MSGINT(1, 1);  // one more character than the room left
    E1MES(6, 1, "%(L2)%(L3)%(I1)");
    E1POP("DTEST");
    const Records r = take();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1], " *** WARNING  ERROR 1 from DTEST.  %(L2)" + std::string(29, 'c') + "%(I1)");
}

TEST_F(ErrorMachinery, PendingTextIsCutAt1024Characters) {
    ERSET(0, 0, 0);
    E1PSH("DTEST");
    MSGTXT(1, std::string(255, 'x'));
    // Each field adds 255 characters: 2,000 and more after insertion.
    E1MES(3, 1, std::string(8, ' ') + "%(L1)%(L1)%(L1)%(L1)%(L1)%(L1)%(L1)%(L1)");
    E1POP("DTEST");
    ERSET(0, 1, 0);
    E1PSH("DTEST");
    E1MES(3, 1, " ");  // keeps the pending text
    E1POP("DTEST");
    const Records r = take();
    std::string joined;
    for (std::size_t i = 2; i < r.size(); ++i) joined += r[i].substr(14);
    // ".  " + 8 blanks + 1,013 characters; the first record ends before the
    // last of the blanks.
    EXPECT_EQ(r[1], " *** WARNING  ERROR 1 from DTEST." + std::string(9, ' '));
    EXPECT_EQ(joined, std::string(1013, 'x'));
}

TEST_F(ErrorMachinery, ZeroTypeOrCodeDiscardsThePendingText) {
    ERSET(0, 1, 0);
    E1PSH("DTEST");
    E1MES(3, 1, "Lost.");
    E1MES(3, 0, "Also lost.");
    E1POP("DTEST");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(N1RTY(1), 3);
    EXPECT_EQ(N1RCD(1), 0);
}

TEST_F(ErrorMachinery, ArgumentCheckersTextsAndRunningCodes) {
    ERSET(0, 1, 0);
    E1PSH("DCHECK");
    int icode = 1;
    CHKIRG(5, "N", 1, 4, icode);
    CHKIRG(0, "NOBS", 1, 0, icode);
    CHKIRG(3, "K", 1, 4, icode);  // passes, still counts
    CHKORD(7, "NF", 3, "NVAR", icode);
    CHKDNN(-0.5, "EPS", icode);
    CHKDNN(std::nan(""), "W", icode);
    CHKDNN(0.0, "C", icode);
    EXPECT_EQ(icode, 8);
    const Records r = take();
    EXPECT_EQ(r, (Records{"",
                          " *** TERMINAL ERROR 1 from DCHECK.  N = 5.  N must be greater than or equal",
                          " ***          to 1 and less than or equal to 4.",
                          "",
                          " *** TERMINAL ERROR 2 from DCHECK.  NOBS = 0.  NOBS must be greater than or",
                          " ***          equal to 1.",
                          "",
                          " *** TERMINAL ERROR 4 from DCHECK.  NF = 7 and NVAR = 3.  NF must be less",
                          " ***          than or equal to NVAR.",
                          "",
                          " *** TERMINAL ERROR 5 from DCHECK.  EPS = -5.000000000000000D-01.  EPS must",
                          " ***          be greater than or equal to zero.",
                          "",
                          " *** TERMINAL ERROR 6 from DCHECK.  W = NaN.  W must be greater than or equal",
                          " ***          to zero."}));
    E1POP("DCHECK");
}

TEST_F(ErrorMachinery, LeadingDimensionChecks) {
    ERSET(0, 1, 0);
    struct Case {
        int nmin, n;
        std::string namen;
        int lda;
        std::vector<int> codes;  // codes raised
        std::string first;       // the first record
    } cases[] = {
        {1, 0, "N", 5, {1}, " *** TERMINAL ERROR 1 from DCHECK.  N = 0.  N must be greater than or equal"},
        {1, 0, "*N", 5, {}, ""},
        {1, 6, "*N", 5, {3}, " *** TERMINAL ERROR 3 from DCHECK.  N = 6 and LDA = 5.  N must be less than"},
        {1, 6, "N", 0, {2}, " *** TERMINAL ERROR 2 from DCHECK.  LDA = 0.  LDA must be greater than or"},
        {2, 1, "N", -3, {1, 2}, " *** TERMINAL ERROR 1 from DCHECK.  N = 1.  N must be greater than or equal"},
        {INT_MIN, 3, "N", 3, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.namen + std::to_string(c.n) + "/" + std::to_string(c.lda));
        E1PSH("DCHECK");
        int icode = 1;
        CHKNLD(c.nmin, c.n, c.namen, c.lda, "LDA", icode);
        EXPECT_EQ(icode, 4);
        E1POP("DCHECK");
        const Records r = take();
        std::vector<int> codes;
        for (const std::string& rec : r)
            if (rec.rfind(" *** TERMINAL ERROR ", 0) == 0) codes.push_back(rec[20] - '0');
        EXPECT_EQ(codes, c.codes);
        if (!c.codes.empty()) {
            EXPECT_EQ(r[1], c.first);
        }
    }
}

TEST_F(ErrorMachinery, MisuseOfTheStackStopsWhateverTheAttributes) {
    ERSET(0, 1, 0);
    EXPECT_TRUE(stops_plainly([] { E1POP("DGONE"); }));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from",
                               " ***          DGONE because stack is empty."}));

    reset_error_machinery();
    E1PSH("DOUTER");
    EXPECT_TRUE(stops_plainly([] { E1POP("DOTHER"); }));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 2 from DOUTER.  Error condition in E1POP.  DOTHER does",
                               " ***          not match the name DOUTER in the stack."}));

    reset_error_machinery();
    ERSET(0, 0, 0);  // not printed, but still stops
    EXPECT_TRUE(stops_plainly([] { E1POP("DGONE"); }));
    EXPECT_TRUE(host_.records.empty());

    reset_error_machinery();
    ERSET(0, 0, 0);  // the N1RTY message is always printed
    E1PSH("DOUTER");
    EXPECT_TRUE(stops_plainly([] { N1RTY(2); }));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from DOUTER.  The argument passed to N1RTY must be 0 or",
                               " ***          1."}));
    EXPECT_TRUE(stops_plainly([] { N1RCD(-1); }));
    EXPECT_EQ(take()[1], " *** TERMINAL ERROR 1 from DOUTER.  The argument passed to N1RCD must be 0 or");
}

TEST_F(ErrorMachinery, StackHoldsFiftyLevels) {
    for (int level = 2; level <= 50; ++level) E1PSH("L" + std::to_string(level));
    EXPECT_EQ(N1RTY(1), -1);  // no level below the deepest
    EXPECT_TRUE(stops_plainly([] { E1PSH("ONEMORE"); }));
    const Records r = take();
    ASSERT_EQ(r.size(), 3u + 3u + 50u);
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 1 from L50.  Error condition in E1PSH.  Push would cause");
    EXPECT_EQ(r[2], " ***          stack level to exceed 50.");
    EXPECT_EQ(r[6], "     L50                                  5           1    (Called internally)");
    EXPECT_EQ(r[54], "     L2                                   0           0");
    EXPECT_EQ(r[55], "     USER                                 0           0");
}

TEST_F(ErrorMachinery, PopHandsOnTheLevelAndFreesTheOneBelow) {
    ERSET(0, 0, 0);
    E1PSH("DOUTER");
    E1PSH("DINNER");
    E1MES(4, 8, "Deep.");
    E1POP("DINNER");
    EXPECT_EQ(N1RTY(0), 4);
    EXPECT_EQ(N1RCD(0), 8);
    EXPECT_EQ(N1RTY(1), 4);  // still readable after the pop
    E1POP("DOUTER");
    E1PSH("DNEXT");
    EXPECT_EQ(N1RTY(0), 0);
    EXPECT_EQ(N1RTY(1), -1);  // freed by the pop of DOUTER
    E1POP("DNEXT");
}

}  // namespace
}  // namespace orv::num2
