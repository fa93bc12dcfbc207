// A window of records read from a unit in one go, so that threads can
// convert them while the unit is read on one thread only (RDRAW, RDCOR).
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace orv::engine {

// The records of a window.  `failure` is what the unit threw at the record
// after the last one held (a failed read); at the end of the file it is
// empty.  Its storage is kept from one window to the next.
struct Window {
    std::string text;               // the records, one after another
    std::vector<std::size_t> ends;  // end of each record in `text`
    std::exception_ptr failure;
    bool ended = false;  // the unit has no more records (end of file or failure); stays set

    std::size_t held() const { return ends.size(); }
    std::string_view record(std::size_t k) const {
        const std::size_t start = k == 0 ? 0 : ends[k - 1];
        return std::string_view(text).substr(start, ends[k] - start);
    }
    void append(std::string_view record) {
        text.append(record);
        ends.push_back(text.size());
    }
};

// Reads up to WANTED records of UNIT into WINDOW, stopping early after a
// whole subject (PER records) once the window holds BYTES.
void fill(Window& window, int unit, std::size_t wanted, std::size_t per, std::size_t bytes);

}  // namespace orv::engine
