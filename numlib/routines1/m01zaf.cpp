#include "numlib/routines1/m01zaf.h"

#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_detail.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

void M01ZAF(std::span<int> iperm, int m1, int m2, int& ifail) {
    std::vector<std::string> records;
    int ierror = 0;
    if (m1 > m2 || m2 < 1 || m1 < 1) {
        ierror = 1;
        records = m01::range_records(m1, m2);
    } else {
        m01::check_length(iperm.size(), m2, "M01ZAF", "IPERM");
        auto at = [&](int k) -> int& { return iperm[static_cast<std::size_t>(k - 1)]; };
        static const rt::Format out_of_range = rt::parse_format("(A,/,A,I6,A,I16)");
        static const rt::Format repeated = rt::parse_format("(A,/,A,I16)");
        static const char* const kHeading =
            " ** IPERM(M1:M2) does not contain a permutation of the integers M1 to M2";

        // Mark every entry that is not a fixed point as not yet placed.
        for (int k = m1; k <= m2; ++k) {
            const int v = at(k);
            if (v < m1 || v > m2) {
                ierror = 2;
                records.resize(2);
                rt::write_internal(records, 80, out_of_range, kHeading, "    IPERM(", k,
                                   ") contains an out-of-range value", v);
                break;
            }
            if (v != k) at(k) = -v;
        }
        // Follow each cycle, giving every entry on it its inverse.  Every
        // step turns one negative entry non-negative, so a cycle walk ends
        // within M2 - M1 + 1 steps even when the values repeat.
        for (int k = m1; ierror == 0 && k <= m2; ++k) {
            if (at(k) >= 0) continue;
            int i = k, j = -at(k);
            while (at(j) < 0) {
                const int next = -at(j);
                at(j) = i;
                i = j;
                j = next;
            }
            if (at(k) < 0) {
                ierror = 3;
                records.resize(2);
                rt::write_internal(records, 80, repeated, kHeading, "    IPERM contains a repeated value", j);
            }
        }
    }
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, "M01ZAF", static_cast<int>(records.size()), records);
        return;
    }
    ifail = 0;
}

}  // namespace orv::num1
