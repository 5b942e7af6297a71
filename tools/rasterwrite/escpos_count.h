// Walking a printer byte stream command by command, to count what it holds.
// Knows exactly the commands raster_to_ZELP sends; anything else is an error,
// so a count can never come from bytes inside raster data.
#ifndef ZELP_TOOLS_ESCPOS_COUNT_H
#define ZELP_TOOLS_ESCPOS_COUNT_H

#include <cstdint>
#include <string>

namespace zelp {

struct EscposCounts {
    uint64_t commands = 0;     // every command, raster blocks included
    uint64_t bands = 0;        // GS v 0 raster blocks
    uint64_t rasterRows = 0;   // dot rows in those blocks
    uint64_t rasterBytes = 0;  // their data bytes, headers not counted
    uint64_t cuts = 0;         // ESC i and ESC m
    uint64_t inits = 0;        // ESC @
};

// False, with the offset and the reason in `error`, at the first byte that
// starts no known command or at a command cut off by the end.
bool CountEscpos(const std::string& bytes, EscposCounts* counts, std::string* error);

}  // namespace zelp

#endif
