// MEDSPL: median splits computed by hand.
#include "engine/stats/medspl.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv::engine {
namespace {

TEST(Medspl, SplitsAtTheMedianWithTiesGoingDown) {
    // Odd counts: the middle value (3, then 2.5) goes to 0; column 3 is
    // constant and goes to 0 throughout.
    std::vector<double> x{5, 1, 3, 4, 2,   //
                          1, 4, 2.5, 3, 2,  //
                          7, 7, 7, 7, 7};
    MEDSPL(x, 5, 3);
    EXPECT_EQ(x, (std::vector<double>{1, 0, 0, 1, 0,  //
                                      0, 1, 0, 1, 0,  //
                                      0, 0, 0, 0, 0}));
    // An even count: the median is halfway between the middle values.
    std::vector<double> y{10, 20, 30, 40};
    MEDSPL(y, 4, 1);
    EXPECT_EQ(y, (std::vector<double>{0, 0, 1, 1}));
}

}  // namespace
}  // namespace orv::engine
