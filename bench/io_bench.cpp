// Input/output benchmark of the run-time; bench/io_bench.f90 does the same
// with GNU Fortran's run-time, and bench/run.sh compares the two.
//
//   orv_io_bench read FILE    reads FILE subject by subject under the
//                             run-time format (F6.0,100F2.0)
//   orv_io_bench write FILE   writes a 1000 x 1000 matrix, one statement
//                             per row, under (999(F12.9,1X))
//
// Prints the seconds the transfers took and a checksum (the same in both
// programs).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "runtime/format.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/records.h"
#include "runtime/units.h"

using namespace orv::rt;

namespace {

constexpr int kItems = 100;
constexpr int kOrder = 1000;

double read_subjects(const std::string& file, long& subjects) {
    open_unit_or_fail(10, file, OpenOptions{OpenStatus::Old, true});
    // The format comes from a text at run time, as in a Fortran program that
    // reads its data format from the command file.
    const std::string text = "(F6.0,100F2.0)";
    Format format = parse_format(text);
    std::vector<double> values(kItems);
    double sum = 0;
    subjects = 0;
    std::string record;
    for (;;) {
        UnitSource source(10);
        double id = 0;
        try {
            FormattedInput in(source, format);
            in >> id >> std::span<double>(values);
            in.finish();
        } catch (const IoError& e) {
            if (e.kind() == IoErrorKind::EndOfFile) break;
            throw;
        }
        ++subjects;
        sum += id;
        for (double v : values) sum += v;
    }
    close_unit(10);
    return sum;
}

double write_matrix(const std::string& file) {
    open_unit_or_fail(11, file, OpenOptions{OpenStatus::Replace, false});
    Format format = parse_format("(999(F12.9,1X))");
    std::vector<double> row(kOrder);
    double sum = 0;
    for (int i = 1; i <= kOrder; ++i) {
        for (int j = 1; j <= kOrder; ++j) {
            row[j - 1] = std::sin(0.001 * i * j);
            sum += row[j - 1];
        }
        UnitSink sink(11);
        FormattedOutput out(sink, format);
        out << std::span<const double>(row);
        out.finish();
    }
    close_unit(11);
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s read|write FILE\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    try {
        auto start = std::chrono::steady_clock::now();
        double checksum = 0;
        long count = kOrder;
        if (mode == "read") checksum = read_subjects(argv[2], count);
        else if (mode == "write") checksum = write_matrix(argv[2]);
        else {
            std::fprintf(stderr, "unknown mode %s\n", argv[1]);
            return 2;
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("seconds %.3f records %ld checksum %.6f\n", took.count(), count, checksum);
    } catch (const IoError& e) {  // FormatError too
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
