// IPSAT: a hand-computed case and the plain stop for a subject without variance.
#include "engine/stats/ipsat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/io_error.h"
#include "support/fake_host.h"

namespace orv::engine {
namespace {

TEST(Ipsat, CentresAndScalesEachSubject) {
    // Subject 1: 1 2 3 (mean 2, sd 1); subject 2: 2 4 9 (mean 5, sd sqrt(13)).
    std::vector<double> x{1, 2, 2, 4, 3, 9};
    IPSAT(2, 3, x);
    const double sd = std::sqrt(13.0);
    const std::vector<double> expected{-1.0, -3.0 / sd, 0.0, -1.0 / sd, 1.0, 4.0 / sd};
    for (std::size_t k = 0; k < x.size(); ++k) EXPECT_DOUBLE_EQ(x[k], expected[k]) << k;
}

TEST(Ipsat, SubjectWithoutVarianceStopsPlainly) {
    orv::testing::FakeHost host;
    rt::set_host(&host);
    // Subject 2 answers 5 5 5; subject 1 is already rewritten, subject 3 not.
    std::vector<double> x{1, 5, 7, 3, 5, 8, 5, 5, 0};
    try {
        IPSAT(3, 3, x);
        ADD_FAILURE() << "no stop";
    } catch (const rt::Stop& stop) {
        EXPECT_EQ(stop.exit_status, 1);
        EXPECT_EQ(stop.message, "");
    }
    rt::set_host(nullptr);
    EXPECT_EQ(host.records,
              (std::vector<std::string>{" FATAL ERROR IN SUBROUTINE IPSAT", " NO VARIANCE FOR SUBJECT            2"}));
    EXPECT_EQ(host.pauses, 0);
    EXPECT_EQ(x, (std::vector<double>{-1, 5, 7, 0, 5, 8, 1, 5, 0}));
}

}  // namespace
}  // namespace orv::engine
