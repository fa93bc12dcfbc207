#include "engine/control/banner.h"

#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

void BANNER() {
    // Eight empty records, then a box of 74 columns from window column 25
    // with the program name centred in its second row.
    static const rt::Format format = rt::parse_format(
        "(8/,T25,'0',72('='),'0',/,"
        "T25,'|',T98,'|',/,"
        "T25,'|',T55,'Orvalis 2.0',T98,'|',/,"
        "T25,'|',T98,'|',/,"
        "T25,'0',72('='),'0')");
    rt::write(rt::kConsoleUnit, format);
}

}  // namespace orv::engine
