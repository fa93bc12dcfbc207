#pragma once

namespace orv::engine {

// Writes the start banner to the engine window (unit 6).
void BANNER();

}  // namespace orv::engine
