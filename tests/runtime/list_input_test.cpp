#include <gtest/gtest.h>

#include "golden.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "runtime/list_io.h"

namespace orv::rt {
namespace {

std::ifstream open_golden(const std::string& name) { return std::ifstream(testing::golden_path(name)); }

std::string bracketed(const std::string& line, std::size_t from) {
    // "key [text]" -> text
    return line.substr(from + 1, line.size() - from - 2);
}

struct Item {
    char type = 'i';  // i j r l c
    int i = -77;
    long long j = -77;
    double r = -77.0;
    bool l = true;
    std::string c;
};

struct GoldenCase {
    int number = -1;
    std::vector<Item> items;
    std::vector<std::string> records;
    int ios = 0;
    std::vector<std::string> values;
    std::string next;  // "eof" or "[record]"
};

std::vector<GoldenCase> load_cases() {
    std::ifstream in = open_golden("list_input.txt");
    std::vector<GoldenCase> cases;
    std::string line;
    GoldenCase cur;
    while (std::getline(in, line)) {
        if (line.rfind("case ", 0) == 0) {
            cur = GoldenCase{};
            cur.number = std::stoi(line.substr(5));
        } else if (line.rfind("items", 0) == 0) {
            std::string rest = line.size() > 6 ? line.substr(6) : "";
            std::size_t p = 0;
            while (p < rest.size()) {
                std::size_t q = rest.find(' ', p);
                if (q == std::string::npos) q = rest.size();
                std::string tok = rest.substr(p, q - p);
                p = q + 1;
                if (tok.empty()) continue;
                Item it;
                it.type = tok[0];
                if (tok[0] == 'c') it.c.assign(std::stoul(tok.substr(1)), '#');
                cur.items.push_back(it);
            }
        } else if (line.rfind("rec [", 0) == 0) {
            cur.records.push_back(bracketed(line, 4));
        } else if (line.rfind("ios ", 0) == 0) {
            cur.ios = std::stoi(line.substr(4));
        } else if (line.rfind("val ", 0) == 0) {
            cur.values.push_back(line.substr(6));
        } else if (line.rfind("next ", 0) == 0) {
            cur.next = line.substr(5);
        } else if (line == "end") {
            cases.push_back(cur);
        }
    }
    return cases;
}

// Every statement of tests/runtime/golden/list_input.txt
// (scripts/golden/list_input.sh): the same values, the same failures, and
// the next statement starts on the same record.
TEST(ListInputGolden, MatchesGfortran) {
    auto cases = load_cases();
    ASSERT_GT(cases.size(), 120u) << "golden file missing or short";
    for (auto& gc : cases) {
        SCOPED_TRACE("case " + std::to_string(gc.number) + (gc.records.empty() ? "" : ": " + gc.records[0]));
        std::vector<std::string_view> views(gc.records.begin(), gc.records.end());
        InternalSource source(views);
        ListInput in(source);
        bool threw = false;
        try {
            for (auto& it : gc.items) {
                switch (it.type) {
                case 'i': in >> it.i; break;
                case 'j': in >> it.j; break;
                case 'r': in >> it.r; break;
                case 'l': in >> it.l; break;
                default: in >> it.c; break;
                }
            }
            in.finish();
        } catch (const IoError& e) {
            threw = true;
            if (gc.ios < 0) EXPECT_EQ(e.kind(), IoErrorKind::EndOfFile) << e.what();
            else EXPECT_EQ(e.kind(), IoErrorKind::Conversion) << e.what();
        }
        EXPECT_EQ(threw, gc.ios != 0);
        if (threw || gc.ios != 0) continue;
        ASSERT_EQ(gc.values.size(), gc.items.size());
        for (std::size_t k = 0; k < gc.items.size(); ++k) {
            const Item& it = gc.items[k];
            const std::string& want = gc.values[k];
            switch (it.type) {
            case 'i': EXPECT_EQ(std::to_string(it.i), want) << "item " << k + 1; break;
            case 'j': EXPECT_EQ(std::to_string(it.j), want) << "item " << k + 1; break;
            case 'r': {
                std::uint64_t b = std::bit_cast<std::uint64_t>(it.r);
                if (it.r != it.r) b &= 0xfff8000000000000u;
                EXPECT_EQ(b, std::stoull(want, nullptr, 16)) << "item " << k + 1 << ": " << it.r;
                break;
            }
            case 'l': EXPECT_EQ(it.l ? "T" : "F", want) << "item " << k + 1; break;
            default: EXPECT_EQ("[" + it.c + "]", want) << "item " << k + 1; break;
            }
        }
        std::string rec;
        if (gc.next == "eof") EXPECT_FALSE(source.next_record(rec)) << rec;
        else EXPECT_TRUE(source.next_record(rec) && "[" + rec + "]" == gc.next) << rec;
    }
}

// Reads one statement and returns the error detail, or "" when none.
template <typename F>
std::string statement(InternalSource& source, F&& items) {
    ListInput in(source);
    try {
        items(in);
        in.finish();
    } catch (const IoError& e) {
        const char* kind = e.kind() == IoErrorKind::Conversion  ? "Conversion"
                           : e.kind() == IoErrorKind::EndOfFile ? "EndOfFile"
                                                                : "other";
        return std::string(kind) + ": " + e.detail();
    }
    return "";
}

TEST(ListInput, EngineCommandLines) {
    InternalSource source(std::vector<std::string_view>{
        ">DATA:  mydata.dat 12 500",
        ">DATA: /home/me/run 1/x.dat 7 8",
        ">DATA: '/tmp/with space.dat',3,4 / trailing words",
        ">TECHNICAL: .0001 200 .00001 200 T .2 ONE 120 F",
        "1.0",
        "0.5 0.25",
    });
    std::string key(6, '#'), file(50, '#');
    int n = 0, m = 0;
    struct Want {
        const char* file;
        int n, m;
    };
    // The second line's "1/x.dat" gives 1, and its slash ends the list.
    for (Want w : {Want{"mydata.dat", 12, 500}, Want{"/home/me/run", 1, 500}, Want{"/tmp/with space.dat", 3, 4}}) {
        ListInput in(source);
        in >> key;
        in.path(file) >> n >> m;
        in.finish();
        EXPECT_EQ(key, ">DATA:");
        EXPECT_EQ(file, w.file + std::string(50 - std::string_view(w.file).size(), ' '));
        EXPECT_EQ(n, w.n);
        EXPECT_EQ(m, w.m);
    }

    std::string tech(11, ' '), word(3, ' ');
    double eps1 = 0, eps2 = 0, step = 0;
    int it1 = 0, it2 = 0, limit = 0;
    bool flag1 = false, flag2 = true;
    EXPECT_EQ(statement(source, [&](ListInput& in) {
                  in >> tech >> eps1 >> it1 >> eps2 >> it2 >> flag1 >> step >> word >> limit >> flag2;
              }),
              "");
    EXPECT_EQ(tech, ">TECHNICAL:");
    EXPECT_EQ(eps1, 0.0001);
    EXPECT_EQ(eps2, 0.00001);
    EXPECT_EQ(it1 + it2 + limit, 520);
    EXPECT_TRUE(flag1);
    EXPECT_FALSE(flag2);
    EXPECT_EQ(step, 0.2);
    EXPECT_EQ(word, "ONE");

    double row[3] = {};
    EXPECT_EQ(statement(source, [&](ListInput& in) { in >> std::span<double>(row); }), "");
    EXPECT_EQ(row[0] + row[1] + row[2], 1.75);
}

TEST(ListInput, PathKeepsSlashesButOtherItemsStop) {
    InternalSource source(std::vector<std::string_view>{"/a/b/c 1 / 2", "'/q/r' / 5"});
    std::string p(8, '#');
    int a = 0, b = -1;
    EXPECT_EQ(statement(source, [&](ListInput& in) { in.path(p) >> a >> b; }), "");
    EXPECT_EQ(p, "/a/b/c  ");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);  // the slash ended the list
    EXPECT_EQ(statement(source, [&](ListInput& in) { in.path(p) >> a; }), "");
    EXPECT_EQ(p, "/q/r    ");
    EXPECT_EQ(a, 1);
}

TEST(ListInput, MessagesNameTheItemAndText) {
    const std::pair<const char*, const char*> cases[] = {
        {"5 1.5", "Conversion: bad integer for item 2 in list input: '1.5'"},
        {"5 99999999999", "Conversion: integer overflow for item 2 in list input: '99999999999'"},
        {"5 0*1", "Conversion: zero repeat count for item 2 in list input: '0*'"},
        {"5 3000000000*1", "Conversion: repeat count too large for item 2 in list input: '3000000000*'"},
        {"5 'ab'c", "Conversion: text goes on after its closing quote for item 2 in list input: 'ab'"},
        {"5 \x01\xff", "Conversion: bad integer for item 2 in list input: '\\x01\\xff'"},
        {"5", "EndOfFile: end of file while reading item 2"},
    };
    for (auto [record, message] : cases) {
        InternalSource source(record);
        int a = 0, b = 0;
        EXPECT_EQ(statement(source, [&](ListInput& in) { in >> a >> b; }), message) << record;
    }
    InternalSource bad_real("1.5e");
    double x = 0;
    EXPECT_EQ(statement(bad_real, [&](ListInput& in) { in >> x; }),
              "Conversion: bad real number for item 1 in list input: '1.5e'");
}

TEST(ListInput, HostileInput) {
    // The largest repeat count costs nothing: the value is kept once.
    InternalSource source(std::vector<std::string_view>{"2147483647*5", "2147483647*"});
    int v[3] = {};
    EXPECT_EQ(statement(source, [&](ListInput& in) { in >> std::span<int>(v); }), "");
    EXPECT_EQ(v[0] + v[1] + v[2], 15);
    v[0] = 9;
    EXPECT_EQ(statement(source, [&](ListInput& in) { in >> std::span<int>(v); }), "");
    EXPECT_EQ(v[0], 9);

    // Values of a million characters.
    std::string big(1'000'000, 'x');
    std::string digits = "0." + std::string(1'000'000, '3');
    std::string quoted = "'" + std::string(1'000'000, 'q');  // never closed
    std::string more(1'000'000, 'r');
    InternalSource huge(std::vector<std::string_view>{big, digits, quoted, more, more});
    std::string t(4, '#');
    double d = 0;
    EXPECT_EQ(statement(huge, [&](ListInput& in) { in >> t >> d >> t; }), "");
    EXPECT_EQ(t, "qqqq");
    EXPECT_EQ(d, 1.0 / 3.0);

    // Every byte value: text takes them, numbers reject them, nothing breaks.
    std::string garbage;
    for (int b = 1; b < 256; ++b)
        if (b != ' ' && b != '\t' && b != ',' && b != '/' && b != '\'' && b != '"') garbage += static_cast<char>(b);
    InternalSource g(std::vector<std::string_view>{garbage, garbage, garbage});
    std::string all(garbage.size(), '#');
    EXPECT_EQ(statement(g, [&](ListInput& in) { in >> all; }), "");
    EXPECT_EQ(all, garbage);
    EXPECT_NE(statement(g, [&](ListInput& in) { in >> d; }).find("Conversion: bad real number"), std::string::npos);
    bool l = false;
    EXPECT_NE(statement(g, [&](ListInput& in) { in >> l; }).find("Conversion: bad logical"), std::string::npos);
}

TEST(ListInput, IntegerWidthsAndStatementsInSequence) {
    InternalSource source(std::vector<std::string_view>{"2147483648 2147483648", "-2147483648", "7 8", "9"});
    long long big = 0;
    int small = 0;
    EXPECT_EQ(statement(source, [&](ListInput& in) { in >> big >> small; }),
              "Conversion: integer overflow for item 2 in list input: '2147483648'");
    EXPECT_EQ(big, 2147483648LL);
    // One ListInput, several statements: each finish() moves to a new record.
    ListInput in(source);
    in >> small;
    in.finish();
    EXPECT_EQ(small, -2147483648);
    in >> small;
    in.finish();
    EXPECT_EQ(small, 7);
    in.finish();  // no items: the record "9" is skipped
    EXPECT_THROW(in.finish(), IoError);
}

}  // namespace
}  // namespace orv::rt
