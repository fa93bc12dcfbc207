// The library fixture for routines with the IFAIL convention: the advisory
// and error units back on unit 6 around each test.
#pragma once

#include "numlib/routines1/errexit.h"
#include "support/library_fixture.h"

namespace orv::num1 {

class Num1Fixture : public testing::LibraryFixture {
protected:
    void reset_library() override {
        int six = 6;
        ADVUNIT(1, six);
        ERRUNIT(1, six);
    }
};

}  // namespace orv::num1
