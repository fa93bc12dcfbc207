// SRTITM: groups by each item's largest absolute loading, factor order,
// descending absolute loading within a group, ties to the lower factor and
// to the earlier item, empty groups skipped, signs kept.
#include "engine/stats/srtitm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::engine {
namespace {

struct Case {
    std::string what;
    int nvar, nfac;
    std::vector<double> l;  // column-major
    std::vector<int> order;
};

TEST(Srtitm, OrdersItemsByGroupAndLoading) {
    const std::vector<Case> cases{
        {"two factors",
         6, 2,
         {0.3, -0.8, 0.1, 0.7, 0.2, -0.5,  //
          0.6, 0.1, -0.9, 0.2, 0.4, 0.3},
         {2, 4, 6, 3, 1, 5}},
        {"tie between factors goes to the lower one",
         4, 3,
         {0.5, 0.2, -0.6, 0.1,  //
          -0.5, 0.7, 0.6, 0.1,  //
          0.1, 0.1, 0.6, 0.3},
         {3, 1, 2, 4}},
        {"equal loadings in a group keep item order",
         5, 2,
         {-0.6, 0.1, 0.6, 0.8, 0.6,  //
          0.2, 0.5, 0.1, 0.3, -0.2},
         {4, 1, 3, 5, 2}},
        {"empty middle group",
         4, 3,
         {0.2, 0.7, 0.1, 0.3,  //
          0.1, 0.2, 0.0, 0.2,  //
          0.6, 0.1, -0.5, 0.9},
         {2, 4, 1, 3}},
        {"one factor",
         5, 1,
         {0.3, -0.9, 0.5, 0.5, -0.1},
         {2, 3, 4, 1, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<double> l = c.l;
        std::vector<int> order(static_cast<std::size_t>(c.nvar), 0);
        SRTITM(l, c.nvar, c.nfac, order);
        EXPECT_EQ(order, c.order);
        // Row p holds item ORDER(p), its signs untouched.
        for (int p = 0; p < c.nvar; ++p)
            for (int j = 0; j < c.nfac; ++j)
                EXPECT_EQ(l[p + c.nvar * j], c.l[(c.order[p] - 1) + c.nvar * j]) << p << "," << j;
    }
}

}  // namespace
}  // namespace orv::engine
