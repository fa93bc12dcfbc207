#include "engine/common/opnmat.h"

#include "engine/common/fatal.h"
#include "engine/common/fields.h"
#include "engine/common/mkfnam.h"
#include "process/parallel.h"
#include "runtime/ordered_writer.h"
#include "runtime/units.h"

namespace orv::engine {

void open_output(int unit, const std::string& path, std::string_view use, rt::OpenStatus status) {
    const std::string input = rt::input_use(path);
    if (!input.empty()) {
        static const rt::Format layout = rt::parse_format("(T30,A,/,T30,A,/,T30,A,/,/)");
        FATAL(layout, "FATAL ERROR: " + std::string(use) + " is the same file as", input, path);
    }
    rt::open_unit_or_fail(unit, path, {status, false});
}

void open_input(int unit, const std::string& file, const rt::Format& layout, std::string_view message) {
    try {
        rt::open_unit_or_fail(unit, file, {rt::OpenStatus::Old, true});
    } catch (const rt::IoError& e) {
        FATAL(layout, message, e.file() + ": " + e.detail());
    }
}

std::string OPNMAT(int unit, std::string_view jobdir, std::string_view jobbas, std::string_view extension) {
    std::string base(jobbas);
    std::string name;
    MKFNAM(base, name, extension);
    std::string path = trimmed(std::string(jobdir)) + name;
    open_output(unit, path, "The matrix file " + trimmed(name), rt::OpenStatus::Unknown);
    return path;
}

void write_matrix(int unit, const std::vector<double>& r, int nvar, const rt::Format& format, int threads) {
    const auto n = static_cast<std::size_t>(nvar);
    rt::write_in_order(unit, n, threads, [&](std::size_t i, rt::HeldRecords& held) {
        std::vector<double> row(n);
        for (std::size_t j = 0; j < n; ++j) row[j] = r[i + j * n];
        write(held, format, row);
    });
}

}  // namespace orv::engine
