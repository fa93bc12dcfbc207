// Helpers for the tests of the plot, histogram and format routines: the
// texts of the library's messages as printed on the window, and golden-text
// comparison of a report file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"

namespace orv::num2::test {

// Each message among RECORDS as its head ("TERMINAL 2 DSSFMT|") followed by
// its text with every blank removed, so that texts can be compared whatever
// the line breaks.  Traceback records are left out.
inline std::vector<std::string> message_texts(const std::vector<std::string>& records) {
    std::vector<std::string> out;
    const std::string star = " *** ";
    for (const std::string& r : records) {
        if (r.compare(0, star.size(), star) != 0) continue;
        std::string rest = r.substr(star.size());
        const std::size_t error = rest.find(" ERROR ");
        if (error != std::string::npos && error <= 8) {
            const std::size_t from = rest.find(" from ");
            const std::size_t dot = rest.find('.', from);
            std::string type = rest.substr(0, error);
            type.erase(type.find_last_not_of(' ') + 1);
            out.push_back(type + " " + rest.substr(error + 7, from - error - 7) + " " +
                          rest.substr(from + 6, dot - from - 6) + "|");
            rest = rest.substr(dot + 1);
        }
        if (out.empty()) continue;
        for (char c : rest)
            if (c != ' ') out.back() += c;
    }
    return out;
}

// HEAD, "|" and TEXT without its blanks: the form message_texts gives.
inline std::string squeeze(const std::string& head, const std::string& text) {
    std::string out = head + "|";
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

using orv::testing::read_file;

// Compares ACTUAL with the golden text NAME under tests/numlib/golden/plots;
// on a difference the actual text is written to the test's temporary
// directory, to be compared by eye.
inline void expect_golden(const std::string& actual, const std::string& name) {
    const std::string expected = read_file(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/plots/" + name);
    if (actual != expected) {
        orv::testing::write_file(::testing::TempDir() + "/" + name, actual);
        ADD_FAILURE() << "differs from golden " << name << "; actual text in " << ::testing::TempDir() << "/"
                      << name;
    }
}

}  // namespace orv::num2::test
