// The fixture the numerical library tests share: a FakeHost installed for
// the length of each test, the library's own state put back around it, the
// units closed after it, and a report file on unit 11 for those that want one.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/fake_host.h"

namespace orv::testing {

// Runs BODY; true when it ended the run (rt::Stop).
inline bool stops(const std::function<void()>& body) {
    try {
        body();
    } catch (const rt::Stop&) {
        return true;
    }
    return false;
}

// As stops(); a run that BODY ended must have ended with no message and
// exit status 1.
inline bool stops_plainly(const std::function<void()>& body) {
    try {
        body();
    } catch (const rt::Stop& s) {
        EXPECT_TRUE(s.message.empty());
        EXPECT_EQ(s.exit_status, 1);
        return true;
    }
    return false;
}

class LibraryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        rt::set_host(&host_);
        reset_library();
    }
    void TearDown() override {
        reset_library();
        rt::close_all_units();
        rt::set_host(nullptr);
        if (!path_.empty()) std::remove(path_.c_str());
    }
    // Opens unit 11 on a fresh file named after STEM, removed after the test.
    void open_report_unit(const std::string& stem) {
        path_ = ::testing::TempDir() + "/" + stem + "_" + std::to_string(::getpid()) + ".out";
        rt::open_unit_or_fail(11, path_);
    }
    // Puts the library's settings back to their defaults; called after the
    // host is installed and before the units are closed.
    virtual void reset_library() {}
    // The records written so far, leaving none.
    std::vector<std::string> take() {
        std::vector<std::string> r = host_.records;
        host_.records.clear();
        return r;
    }
    FakeHost host_;
    std::string path_;  // the file of open_report_unit, if any
};

}  // namespace orv::testing
