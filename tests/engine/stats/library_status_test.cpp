// The engine's check after a call of numerical routines II: the type that
// the called routine ended with decides, whatever the message attributes.
#include "engine/stats/library_status.h"

#include <gtest/gtest.h>

#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

class LibraryStatus : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        num2::ERSET(0, 0, 0);  // nothing printed, nothing stops inside the library
    }
    void reset_library() override { num2::reset_error_machinery(); }
    // A routine called by the engine that raises a message of TYPE one level
    // below itself, as the library's drivers do.
    static void routine(int type) {
        num2::E1PSH("OUTER");
        num2::E1PSH("INNER");
        if (type != 0) num2::E1MES(type, 3, "Something happened.");
        num2::E1POP("INNER");
        num2::E1POP("OUTER");
    }
};

TEST_F(LibraryStatus, FatalAndTerminalErrorsStopTheRun) {
    for (const int type : {4, 5, 7}) {
        routine(type);
        try {
            stop_on_library_error();
            ADD_FAILURE() << "type " << type << " did not stop";
        } catch (const rt::Stop& s) {
            EXPECT_EQ(s.exit_status, 1);
            EXPECT_EQ(s.message, "");
        }
    }
}

TEST_F(LibraryStatus, NotesAlertsAndWarningsGoOn) {
    for (const int type : {1, 2, 3, 6}) {
        routine(type);
        EXPECT_NO_THROW(stop_on_library_error()) << type;
    }
    // A call that raised nothing after one that failed: the last call counts.
    routine(4);
    routine(0);  // raises nothing
    EXPECT_NO_THROW(stop_on_library_error());
}

}  // namespace
}  // namespace orv::engine
