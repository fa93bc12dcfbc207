// The main window's placement as the settings store keeps it: section
// "Settings", keys "MainLeft", "MainTop", "MainWidth", "MainHeight", each
// the text of a number of twips (1/1440 inch).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace orv::frontend {

inline constexpr const char* kSettingsSection = "Settings";
inline constexpr std::array<const char*, 4> kPlacementKeys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};

struct Placement {
    long left = 1000, top = 1000, width = 6500, height = 6500;  // twips; the defaults
    bool operator==(const Placement&) const = default;
};

// Pixels on the screen.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The stored texts, in key order (nothing for a key not stored).  A text that
// is not a whole number, and a width or height below 1, gives that key's
// default.
Placement placement_from_texts(const std::array<std::optional<std::string>, 4>& texts);
std::array<std::string, 4> placement_texts(const Placement& p);

// Twips and pixels at the screen's dots per inch.
PixelRect to_pixels(const Placement& p, double dpi_x, double dpi_y);
Placement to_twips(const PixelRect& r, double dpi_x, double dpi_y);

// A window shows enough of itself to be grabbed when at least this many
// pixels of it, each way, lie on one screen.
inline constexpr int kMinVisiblePixels = 40;
bool on_some_screen(const PixelRect& r, const std::vector<PixelRect>& screens);

// The placement to restore: the stored one, or the default when the stored
// one lies off every screen.
PixelRect restored_placement(const std::array<std::optional<std::string>, 4>& texts,
                             const std::vector<PixelRect>& screens, double dpi_x, double dpi_y);

}  // namespace orv::frontend
