#include "runtime/format.h"

#include <gtest/gtest.h>

#include <string>

namespace orv::rt {
namespace {

// A compact rendering of the parsed items, so that each case reads as one
// line: data edits as their descriptor with a repeat prefix, groups as
// r( ... ), control items by name.
std::string render(const Format& f) {
    std::string out;
    for (std::size_t i = 0; i < f.items.size(); ++i) {
        const FormatItem& it = f.items[i];
        if (!out.empty() && out.back() != '(' && it.type != ItemType::GroupEnd) out += ',';
        switch (it.type) {
        case ItemType::Data: {
            const DataEdit& e = it.edit;
            if (it.repeat != 1) out += std::to_string(it.repeat);
            out += e.kind;
            if (e.variant) out += e.variant;
            if (e.width >= 0) out += std::to_string(e.width);
            if (e.digits >= 0) out += "." + std::to_string(e.digits);
            if (e.exp_digits >= 0) out += "E" + std::to_string(e.exp_digits);
            break;
        }
        case ItemType::Literal: out += "'" + it.text + "'"; break;
        case ItemType::X: out += std::to_string(it.count) + "X"; break;
        case ItemType::T: out += "T" + std::to_string(it.count); break;
        case ItemType::TL: out += "TL" + std::to_string(it.count); break;
        case ItemType::TR: out += "TR" + std::to_string(it.count); break;
        case ItemType::Slash: out += std::to_string(it.repeat) + "/"; break;
        case ItemType::Colon: out += ":"; break;
        case ItemType::Scale: out += std::to_string(it.count) + "P"; break;
        case ItemType::BN: out += "BN"; break;
        case ItemType::BZ: out += "BZ"; break;
        case ItemType::S: out += "S"; break;
        case ItemType::SP: out += "SP"; break;
        case ItemType::SS: out += "SS"; break;
        case ItemType::GroupBegin:
            if (i > 0 && it.repeat != 1) out += std::to_string(it.repeat);
            out += "(";
            break;
        case ItemType::GroupEnd: out += ")"; break;
        }
    }
    return out;
}

TEST(FormatParse, AcceptsEveryDescriptor) {
    struct Case {
        const char* text;
        const char* parsed;
    } cases[] = {
        {"(F6.0,100F2.0)", "(F6.0,100F2.0)"},
        {"(999(F12.9,1X))", "(999(F12.9,1X))"},
        {"(I5, I3.2, B8, O6.3, Z4, I0)", "(I5,I3.2,B8,O6.3,Z4,I0)"},
        {"(E12.4, E12.4E3, EN10.2, ES10.3E2, D15.6)", "(E12.4,E12.4E3,EN10.2,ES10.3E2,D15.6)"},
        {"(G12.5, G10.3E4, G0, G0.4, F0.3)", "(G12.5,G10.3E4,G0,G0.4,F0.3)"},
        {"(L2, A, A15)", "(L2,A,A15)"},
        {"(T30, A8, TL3, TR4, 3X, X)", "(T30,A8,TL3,TR4,3X,1X)"},
        {"(BN, BZ, S, SP, SS, :)", "(BN,BZ,S,SP,SS,:)"},
        {"(2PF8.3, -1PE12.4, 0P)", "(2P,F8.3,-1P,E12.4,0P)"},
        {"(1PE12.4)", "(1P,E12.4)"},
        {"('it''s', \"say \"\"hi\"\"\", 3Ha b)", "('it's','say \"hi\"','a b')"},
        {"(T30,A38,/,/)", "(T30,A38,1/,1/)"},
        {"(/,/,T30,A42,/,/)", "(1/,1/,T30,A42,1/,1/)"},
        {"(A/A//3/A)", "(A,1/,A,1/,1/,3/,A)"},
        {"(I3:I4)", "(I3,:,I4)"},
        {"(I3 F5.1'a'2X(I2)3A1)", "(I3,F5.1,'a',2X,(I2),3A1)"},
        {"()", "()"},
        {"(/)", "(1/)"},
        {"(2(I3,3(F5.1)),A)", "(2(I3,3(F5.1)),A)"},
        {"(I5.5,I0.5,B4.0)", "(I5.5,I0.5,B4.0)"},
    };
    for (const auto& c : cases) EXPECT_EQ(render(parse_format(c.text)), c.parsed) << c.text;
}

TEST(FormatParse, BlanksInsignificantAndLowerCase) {
    EXPECT_EQ(render(parse_format("  ( f 6 . 0 , 1 0 0 f2.0 , t 3 0 , e s 1 2 . 4 e 3 )  ")),
              "(F6.0,100F2.0,T30,ES12.4E3)");
    // Blanks inside numbers too: I5 2I3 is I52 followed by I3.
    EXPECT_EQ(render(parse_format("(I5 2I3, F5.1 2X)")), "(I52,I3,F5.12,1X)");
    EXPECT_EQ(render(parse_format("(tl2,tr3,bn,bz,sp,ss,1p,en9.2)")), "(TL2,TR3,BN,BZ,SP,SS,1P,EN9.2)");
    // Blanks inside literals and H strings are kept.
    EXPECT_EQ(render(parse_format("(' a b ', 4H c d)")), "(' a b ',' c d')");
}

TEST(FormatParse, ReversionPoint) {
    // No inner group: back to the first item after the outer parenthesis.
    EXPECT_EQ(parse_format("(I3,F5.1)").reversion, 1u);
    // The last top-level group, whatever it contains.
    Format f = parse_format("(A, 2(I3, (F5.1)), 3(L2), X)");
    ASSERT_EQ(f.items[f.reversion].type, ItemType::GroupBegin);
    EXPECT_EQ(f.items[f.reversion].repeat, 3);
    EXPECT_EQ(f.items[f.reversion + 1].edit.kind, 'L');
}

TEST(FormatParse, GroupsKnowTheirPartners) {
    Format f = parse_format("(2(I3,4(A2)))");
    for (std::size_t i = 0; i < f.items.size(); ++i) {
        const FormatItem& it = f.items[i];
        if (it.type == ItemType::GroupBegin) {
            EXPECT_EQ(f.items[it.match].type, ItemType::GroupEnd);
            EXPECT_EQ(f.items[it.match].match, i);
        }
    }
    EXPECT_TRUE(f.has_data_edit);
    EXPECT_FALSE(parse_format("('x',/)").has_data_edit);
}

TEST(FormatParse, ErrorsNameWhatAndWhere) {
    struct Case {
        const char* text;
        const char* message;
        std::size_t offset;
    } cases[] = {
        {"I5", "format must begin with '('", 0},
        {"(I5", "missing ')'", 3},
        {"(I5))", "unexpected text after the closing ')'", 4},
        {"(F8)", "'.' and digit count required", 1},
        {"(E0.3)", "positive width required", 1},
        {"(L0)", "positive width required", 1},
        {"(A0)", "positive width required", 1},
        {"(1X 2)", "',' or ')' expected", 4},
        {"(BN 2I3)", "',' or ')' expected", 4},
        {"(0I5)", "repeat count must be positive", 1},
        {"(0(I5))", "repeat count must be positive", 1},
        {"(T0)", "position must be positive", 1},
        {"(T)", "position expected", 2},
        {"(Q5)", "unknown edit descriptor 'Q'", 1},
        {"(I5,'abc)", "literal not closed", 4},
        {"(10HABC)", "H string runs past the end", 1},
        {"(2'x')", "a literal cannot have a repeat count", 1},
        {"(-2X)", "'P' expected after a signed scale factor", 1},
        {"(P)", "scale factor expected before 'P'", 1},
        {"(E10.3E0)", "exponent width must be positive", 1},
        {"(I3.5)", "minimum digits exceed the field width", 1},
        {"(F4.1,2Z3.4)", "minimum digits exceed the field width", 6},
        {"(99999999I5)", "number too large", 1},
        {"(I5,$)", "edit descriptor expected", 4},
        {"", "format must begin with '('", 0},
    };
    for (const auto& c : cases) {
        try {
            parse_format(c.text);
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const FormatError& e) {
            EXPECT_EQ(e.message(), c.message) << c.text;
            EXPECT_EQ(e.offset(), c.offset) << c.text;
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos);
        }
    }
}

TEST(FormatParse, HostileNestingIsRefused) {
    std::string deep(5000, '(');
    deep += std::string(5000, ')');
    EXPECT_THROW(parse_format(deep), FormatError);
    std::string ok(kMaxFormatDepth, '(');
    ok += "I1" + std::string(kMaxFormatDepth, ')');
    EXPECT_NO_THROW(parse_format(ok));
}

}  // namespace
}  // namespace orv::rt
