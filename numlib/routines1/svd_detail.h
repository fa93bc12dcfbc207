// Helpers shared by the factorisation and singular value routines: option
// letters and the failure records they all write.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/formatted_io.h"

namespace orv::num1::svd_detail {

// The first letter of an option, upper-cased; a blank for an empty text.
inline char option(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text a CHARACTER*1 argument would hold, for the parameter report.
inline std::string_view option_text(std::string_view text) { return text.substr(0, 1); }

// Sets IFAIL for NERR invalid arguments: error -1 with the count record of
// WIDTH characters.
inline int parameter_exit(int ifail, int nerr, std::string_view srname, std::size_t width) {
    static const rt::Format format = rt::parse_format("(A,I2,A)");
    std::vector<std::string> rec(1);
    rt::write_internal(rec, width, format, "    The input parameters contained ", nerr, " error(s)");
    return ERREXIT(ifail, -1, srname, 1, rec);
}

// Sets IFAIL for a QR iteration that left K singular values unfound.
inline int convergence_exit(int ifail, int k, std::string_view srname, std::size_t width) {
    static const rt::Format format = rt::parse_format("(A,/,A,I6,A)");
    std::vector<std::string> rec(2);
    rt::write_internal(rec, width, format, "    The QR algorithm has failed to converge.", "    ", k,
                       " singular values have NOT been found.");
    return ERREXIT(ifail, k, srname, 2, rec);
}

}  // namespace orv::num1::svd_detail
