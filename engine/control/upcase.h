#pragma once

#include <string>

namespace orv::engine {

// In place: left-adjusts the text (leading blanks removed, blanks added at
// the end, so its length stays) and turns a to z into A to Z.  Keywords and
// option words pass through it before they are compared.
void UPCASE(std::string& text);

}  // namespace orv::engine
