// Matrix file names, default labels and trace messages.
#include "engine/common/mkfnam.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "engine/control/deflab.h"
#include "engine/common/opnmat.h"
#include "engine/common/trace.h"
#include "engine/common/units.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

TEST(Mkfnam, NamesAfterTheCommandFile) {
    const struct {
        const char* base;
        const char* ext;
        const char* name;
        const char* base_after;
    } cases[] = {
        {"JOB1.IN        ", "cor", "JOB1.cor", "JOB1.IN        "},
        {"JOB1.IN        ", "rsd", "JOB1.rsd", "JOB1.IN        "},
        {"A.B.IN         ", "cor", "A.B.cor", "A.B.IN         "},
        {"MYJOB          ", "cor", "MYJOB.cor", "MYJOB          "},
        {"VERYLONGNAME   ", "fac", "VERYLONG.fac", "VERYLONGNAME   "},
        {"               ", "cor", ".cor", "               "},
        {"  job.in       ", "eig", "job.eig", "job.in         "},  // left-adjusted in place
        {"ABCDEFGHIJKLM.N", "fsc", "ABCDEFGHIJKLM.fsc", "ABCDEFGHIJKLM.N"},  // not cut to 15
        {"mixed.Case.in  ", "PHI", "mixed.Case.PHI", "mixed.Case.in  "},
    };
    for (const auto& c : cases) {
        std::string base = c.base, name = "stale";
        MKFNAM(base, name, c.ext);
        EXPECT_EQ(name, c.name) << c.base;
        EXPECT_EQ(base, c.base_after) << c.base;
    }
}

TEST(Opnmat, OpensBesideTheCommandFileAndReplacesWhatItWrites) {
    const orv::testing::TempDir tmp("orv_mkfnam");
    const fs::path dir = tmp / std::string(120, 'd');  // a long directory is not cut
    fs::create_directories(dir);
    orv::testing::write_file(dir / "JOB1.cor", "an older and longer matrix file\n");

    const std::string path = OPNMAT(LUCOR, dir.string() + "/   ", "JOB1.IN        ", "cor");
    EXPECT_EQ(path, (dir / "JOB1.cor").string());
    EXPECT_EQ(rt::unit_file_name(LUCOR), path);
    rt::write(LUCOR, "(F12.9)", 0.5);
    rt::close_unit(LUCOR);
    EXPECT_EQ(orv::testing::read_file(dir / "JOB1.cor"), " 0.500000000\n");

    OPNMAT(LURSD, dir.string() + "/", "JOB1.IN", "rsd");
    rt::close_unit(LURSD);
    EXPECT_TRUE(fs::exists(dir / "JOB1.rsd"));
}

TEST(Deflab, ThreeDigitsWithLeadingZerosThenWider) {
    std::vector<std::string> labels{"stale"};
    DEFLAB(12, labels);
    ASSERT_EQ(labels.size(), 12u);
    EXPECT_EQ(labels[0], "V001           ");
    EXPECT_EQ(labels[11], "V012           ");

    DEFLAB(1001, labels);
    ASSERT_EQ(labels.size(), 1001u);
    EXPECT_EQ(labels[98], "V099           ");
    EXPECT_EQ(labels[998], "V999           ");
    EXPECT_EQ(labels[999], "V1000          ");
    EXPECT_EQ(labels[1000], "V1001          ");

    DEFLAB(0, labels);
    EXPECT_TRUE(labels.empty());
}

TEST(Trace, WritesOnlyForANonZeroStatus) {
    orv::testing::FakeHost host;
    rt::set_host(&host);
    TRACE(0, 17);
    TRACE(2, 3985);
    TRACE(-1, 12345678);
    rt::set_host(nullptr);
    EXPECT_EQ(host.records, (std::vector<std::string>{" Problem occured at line       3985",
                                                      " Problem occured at line   12345678"}));
}

}  // namespace
}  // namespace orv::engine
