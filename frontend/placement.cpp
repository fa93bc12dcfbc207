#include "frontend/placement.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orv::frontend {

namespace {

// A whole number, blanks around it allowed; "1000.0" counts, "12px" does not.
std::optional<long> whole_number(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && *first == ' ') ++first;
    while (last > first && last[-1] == ' ') --last;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || !std::isfinite(value) || std::abs(value) > 1e9) return std::nullopt;
    return std::lround(value);
}

int pixels(long twips, double dpi) { return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0)); }
long twips(int pixels, double dpi) { return std::lround(static_cast<double>(pixels) * 1440.0 / dpi); }

}  // namespace

Placement placement_from_texts(const std::array<std::optional<std::string>, 4>& texts) {
    Placement p;
    long* fields[] = {&p.left, &p.top, &p.width, &p.height};
    for (std::size_t i = 0; i < 4; ++i) {
        if (!texts[i]) continue;
        const std::optional<long> v = whole_number(*texts[i]);
        if (!v || (i >= 2 && *v < 1)) continue;
        *fields[i] = *v;
    }
    return p;
}

std::array<std::string, 4> placement_texts(const Placement& p) {
    return {std::to_string(p.left), std::to_string(p.top), std::to_string(p.width), std::to_string(p.height)};
}

PixelRect to_pixels(const Placement& p, double dpi_x, double dpi_y) {
    return {pixels(p.left, dpi_x), pixels(p.top, dpi_y), std::max(1, pixels(p.width, dpi_x)),
            std::max(1, pixels(p.height, dpi_y))};
}

Placement to_twips(const PixelRect& r, double dpi_x, double dpi_y) {
    return {twips(r.x, dpi_x), twips(r.y, dpi_y), twips(r.width, dpi_x), twips(r.height, dpi_y)};
}

bool on_some_screen(const PixelRect& r, const std::vector<PixelRect>& screens) {
    const auto overlap = [](long a0, long a1, long b0, long b1) { return std::min(a1, b1) - std::max(a0, b0); };
    return std::any_of(screens.begin(), screens.end(), [&](const PixelRect& s) {
        const int need_x = std::min(kMinVisiblePixels, r.width), need_y = std::min(kMinVisiblePixels, r.height);
        return overlap(r.x, long{r.x} + r.width, s.x, long{s.x} + s.width) >= need_x &&
               overlap(r.y, long{r.y} + r.height, s.y, long{s.y} + s.height) >= need_y;
    });
}

PixelRect restored_placement(const std::array<std::optional<std::string>, 4>& texts,
                             const std::vector<PixelRect>& screens, double dpi_x, double dpi_y) {
    const PixelRect stored = to_pixels(placement_from_texts(texts), dpi_x, dpi_y);
    if (on_some_screen(stored, screens)) return stored;
    return to_pixels(Placement{}, dpi_x, dpi_y);
}

}  // namespace orv::frontend
