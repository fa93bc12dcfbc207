#include "numlib/routines1/m01daf.h"

#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_detail.h"
#include "numlib/routines1/m01_rank.h"

namespace orv::num1 {

namespace {

// A run ends when it has taken this many elements and the next one does not
// fit at either end.
constexpr int kRunInsertLimit = 10;

}  // namespace

// IRANK serves as the link array until the ranks are written: for an
// element k of a run, IRANK(k) is the index of the next element of the run
// and, at the run's tail, minus the head of the next run (0 after the last
// run).  Indices start at M1 >= 1, so 0 and the negative values are free
// for these marks.
void M01DAF(std::span<const double> rv, int m1, int m2, std::string_view order, std::span<int> irank,
            int& ifail) {
    int descending = 0;
    std::vector<std::string> records;
    const int ierror = m01::check_section(m1, m2, order, descending, records);
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, "M01DAF", static_cast<int>(records.size()), records);
        return;
    }
    m01::check_length(rv.size(), m2, "M01DAF", "RV");
    m01::check_length(irank.size(), m2, "M01DAF", "IRANK");
    ifail = 0;
    auto value = [&](int k) { return rv[static_cast<std::size_t>(k - 1)]; };
    auto link = [&](int k) -> int& { return irank[static_cast<std::size_t>(k - 1)]; };
    auto less = [&](int a, int b) { return m01::less(value(a), value(b)); };

    if (m1 == m2) {
        link(m2) = m2;
        return;
    }
    // Long sections: the same ranks from sorted keys, on threads.
    const int n = m2 - m1 + 1;
    if (n >= m01::key_rank_size()) {
        const auto first = static_cast<std::size_t>(m1 - 1);
        const auto size = static_cast<std::size_t>(n);
        m01::key_rank(rv.subspan(first, size), descending != 0, m1, m01::Output::kRanks, irank.subspan(first, size),
                      m01::key_rank_threads(size));
        return;
    }

    // Runs, in index order.  Each run covers a stretch of consecutive
    // indices and is itself sorted stably.
    int first = m1;           // head of the first run
    int previous_tail = 0;    // tail of the run before the current one
    int head = m1, tail = m1, count = 1;
    link(m1) = 0;
    for (int k = m1 + 1; k <= m2; ++k) {
        if (!less(k, tail)) {
            link(tail) = k;
            link(k) = 0;
            tail = k;
        } else if (less(k, head)) {
            link(k) = head;
            head = k;
        } else if (count < kRunInsertLimit) {
            // After every element that is not greater than it; the tail is
            // greater, so the walk stops inside the run.
            int p = head;
            while (!less(k, link(p))) p = link(p);
            link(k) = link(p);
            link(p) = k;
        } else {
            if (previous_tail == 0)
                first = head;
            else
                link(previous_tail) = -head;
            previous_tail = tail;
            head = tail = k;
            link(k) = 0;
            count = 1;
            continue;
        }
        ++count;
    }
    if (previous_tail == 0)
        first = head;
    else
        link(previous_tail) = -head;

    // Merge the runs in pairs, pass after pass, until one run is left.  At
    // equal values the element of the earlier run goes first.
    while (true) {
        int a = first;
        int out_first = 0, out_tail = 0;  // merged list of this pass
        int runs = 0;
        while (a != 0) {
            int merged_head = 0, merged_tail = 0;
            auto append = [&](int p) {
                if (merged_tail != 0)
                    link(merged_tail) = p;
                else
                    merged_head = p;
                merged_tail = p;
            };
            // Find the head of the partner run at the end of run a.
            int end_a = a;
            while (link(end_a) > 0) end_a = link(end_a);
            const int b = -link(end_a);
            int after = 0;  // head of the run after the pair
            if (b == 0) {
                merged_head = a;
                merged_tail = end_a;
            } else {
                int pa = a, pb = b;
                while (pa > 0 && pb > 0) {
                    if (less(pb, pa)) {
                        const int next = link(pb);
                        append(pb);
                        if (next <= 0) {
                            after = -next;
                            pb = 0;
                        } else {
                            pb = next;
                        }
                    } else {
                        const int next = link(pa);
                        append(pa);
                        pa = next > 0 ? next : 0;
                    }
                }
                if (pa > 0) {
                    link(merged_tail) = pa;
                    merged_tail = end_a;
                } else {
                    link(merged_tail) = pb;
                    int end_b = pb;
                    while (link(end_b) > 0) end_b = link(end_b);
                    after = -link(end_b);
                    merged_tail = end_b;
                }
            }
            link(merged_tail) = 0;
            if (out_tail == 0)
                out_first = merged_head;
            else
                link(out_tail) = -merged_head;
            out_tail = merged_tail;
            ++runs;
            a = after;
        }
        first = out_first;
        if (runs == 1) break;
    }

    if (descending) {
        // Reverse group by group: groups of equal values keep their index
        // order and come in descending order of value.
        int reversed = 0;
        int p = first;
        while (p != 0) {
            int group_end = p;
            while (link(group_end) != 0 && !less(p, link(group_end)) && !less(link(group_end), p))
                group_end = link(group_end);
            const int next = link(group_end);
            link(group_end) = reversed;
            reversed = p;
            p = next;
        }
        first = reversed;
    }

    // Each link is read before the element's rank replaces it.
    int rank = m1;
    for (int p = first; p != 0;) {
        const int next = link(p);
        link(p) = rank++;
        p = next;
    }
}

}  // namespace orv::num1
