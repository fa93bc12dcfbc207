// Which matrix files a job asks for: OUTPUT T, and the code among the first
// seven codes of >OUTPUT: as the reader leaves them (upper case, 3 wide).
#include "engine/control/codsel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::engine {
namespace {

TEST(Codsel, CodeAmongTheFirstSevenWithOutputOn) {
    const std::string b = blank_text(3);
    const struct {
        const char* what;
        const char* output;
        std::vector<std::string> codes;
        const char* code;
        bool selected;
    } cases[] = {
        {"first code", "T", {"FAC", b, b, b, b, b, b, b}, "FAC", true},
        {"seventh code", "T", {"COR", "SMO", "EIG", "RSD", "MVN", "FSC", "FAC", b}, "FAC", true},
        {"eighth code is never acted on", "T", {"COR", "SMO", "EIG", "RSD", "MVN", "FSC", "FRQ", "FAC"}, "FAC",
         false},
        {"output off", "F", {"FAC", "RSD", b, b, b, b, b, b}, "RSD", false},
        {"another code", "T", {"COR", "SMO", b, b, b, b, b, b}, "FAC", false},
        {"a code cut to three letters", "T", {"FA ", b, b, b, b, b, b, b}, "FAC", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JOBSET job;
        job.OUTPUT = c.output;
        job.OUTCOD = c.codes;
        EXPECT_EQ(CODSEL(job, c.code), c.selected);
    }
}

}  // namespace
}  // namespace orv::engine
