// The library fixture for routines with the error stack: error machinery,
// options and random state back to their defaults around each test.
#pragma once

#include "numlib/routines2/dunif.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "support/library_fixture.h"

namespace orv::num2 {

class Num2Fixture : public testing::LibraryFixture {
protected:
    void reset_library() override {
        reset_error_machinery();
        reset_options();
        reset_random_state();
    }
    // The library's output on unit 11 (open_report_unit opens it), on the
    // engine's page of 80 x 50.
    static void use_engine_page() {
        int unit = 11, width = 80, length = 50;
        UMACH(-2, unit);
        PGOPT(-1, width);
        PGOPT(-2, length);
    }
};

}  // namespace orv::num2
