// Data edit descriptors and the modes that travel with them through a
// formatted transfer (ISO/IEC 1539 10.7, 10.8).
#pragma once

namespace orv::rt {

// S / SP / SS (10.8.4): whether an optional plus sign is written.
enum class SignMode { Processor, Plus, Suppress };

// Changeable modes of one formatted statement. They start at their defaults
// with every statement and are not reset by format reversion (10.4 para 8).
struct Modes {
    int scale = 0;            // kP scale factor
    bool blank_zero = false;  // BZ: blanks in numeric input fields are zeros
    SignMode sign = SignMode::Processor;

    bool operator==(const Modes&) const = default;
};

// One data edit descriptor with its numbers.  `kind` is the descriptor
// letter I, B, O, Z, F, E, D, G, L or A; `variant` is 'N' for EN and 'S' for ES
// (with kind 'E'), 0 otherwise.  Absent numbers are -1: A without a width,
// E/D/G without an exponent width, I/B/O/Z without a minimum digit count.
struct DataEdit {
    char kind = 'I';
    char variant = 0;
    int width = -1;       // w
    int digits = -1;      // d for F/E/D/G, m for I/B/O/Z
    int exp_digits = -1;  // e
    Modes modes;

    bool operator==(const DataEdit&) const = default;
};

}  // namespace orv::rt
