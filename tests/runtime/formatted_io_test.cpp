#include "runtime/formatted_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace orv::rt {
namespace {

// Records what a walk over a format does, without any editing, so that
// traversal (repeats, groups, reversion, colon, trailing items) can be
// checked on its own.
class Recorder : public FormatWalker::Handler {
public:
    void literal(std::string_view text) override { log += "'" + std::string(text) + "' "; }
    void position(ItemType type, int count) override {
        log += (type == ItemType::X ? "X" : type == ItemType::T ? "T" : type == ItemType::TL ? "TL" : "TR") +
               std::to_string(count) + " ";
    }
    void end_record() override { log += "/ "; }
    std::string log;
};

// Walks `format` for `items` data items and then finishes the statement.
std::string walk(const char* format, int items) {
    Format f = parse_format(format);
    Recorder r;
    FormatWalker w(f, r);
    for (int i = 0; i < items; ++i) {
        DataEdit e = w.next_edit();
        r.log += std::string(1, e.kind) + std::to_string(e.width) + " ";
    }
    w.finish();
    return r.log;
}

TEST(FormatWalk, RepeatsGroupsAndReversion) {
    struct Case {
        const char* format;
        int items;
        const char* log;
    } cases[] = {
        {"(I3)", 3, "I3 / I3 / I3 "},
        {"(3I2)", 2, "I2 I2 "},
        {"('a',I1,'b')", 1, "'a' I1 'b' "},
        // After the last item, control items run up to the next data edit.
        {"(I1,'x',I2,'y')", 1, "I1 'x' "},
        // ... or up to a colon.
        {"(I1,:,'x')", 1, "I1 "},
        {"(I1,:,'x')", 2, "I1 'x' / I1 "},
        // Reversion goes back to the last top-level group with its repeat.
        {"(A1,2(I2,X),F3.0)", 6, "A1 I2 X1 I2 X1 F3 / I2 X1 I2 X1 "},
        {"(A1,2(I2,3(F4.1)),L1)", 3, "A1 I2 F4 "},
        {"(F6.0,(F2.0))", 4, "F6 F2 / F2 / F2 "},
        // Slash counts.
        {"(/)", 0, "/ "},
        {"(I1,3/)", 1, "I1 / / / "},
        {"(T30,A8)", 1, "T30 A8 "},
        {"(TL2,TR3,5X)", 0, "TL2 TR3 X5 "},
        {"(2(I1))", 5, "I1 I1 / I1 I1 / I1 "},
    };
    for (const auto& c : cases) EXPECT_EQ(walk(c.format, c.items), c.log) << c.format << " x" << c.items;
}

TEST(FormatWalk, ModesTravelWithEditsAndSurviveReversion) {
    Format f = parse_format("(2P,F5.1,BZ,SP,(E8.2))");
    Recorder r;
    FormatWalker w(f, r);
    DataEdit a = w.next_edit();
    EXPECT_EQ(a.modes.scale, 2);
    EXPECT_FALSE(a.modes.blank_zero);
    DataEdit b = w.next_edit();
    EXPECT_TRUE(b.modes.blank_zero);
    EXPECT_EQ(b.modes.sign, SignMode::Plus);
    DataEdit c = w.next_edit();  // by reversion
    EXPECT_EQ(c.kind, 'E');
    EXPECT_EQ(c.modes.scale, 2);
    EXPECT_TRUE(c.modes.blank_zero);
}

TEST(FormatWalk, RunawayFormatsAreErrors) {
    Recorder r;
    // No data edit descriptor at all for an item.
    Format none = parse_format("('x')");
    FormatWalker w1(none, r);
    EXPECT_THROW(w1.next_edit(), IoError);
    // Reversion into a part with no data edit descriptor.
    Format empty_group = parse_format("(I1,(2X))");
    FormatWalker w2(empty_group, r);
    w2.next_edit();
    EXPECT_THROW(w2.next_edit(), IoError);
    // Nested repeats of control items only, 10^18 steps.
    Format huge = parse_format("(I1,1000000(1000000(1000000(X))))");
    FormatWalker w3(huge, r);
    w3.next_edit();
    try {
        w3.finish();
        ADD_FAILURE() << "runaway walk finished";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::BadFormat);
    }
}

}  // namespace
}  // namespace orv::rt
