// The command text that the wizard's build writes.  Lines end in CR LF; the
// text ends with ">LABELS: " and no line end, for the user to type the
// labels after it.
#pragma once

#include <string>
#include <vector>

#include "frontend/wizard.h"

namespace orv::frontend {

// The engine reads the title from columns 8-87 and the format from columns
// 9-88 of their lines: the longest title and format it sees whole.
inline constexpr std::size_t kTitleColumns = 79;
inline constexpr std::size_t kFormatColumns = 79;

// The composed text of the wizard's current answers.
std::string command_text(const Wizard& w);

// The warnings for a title or format longer than the engine reads.
std::vector<std::string> cut_warnings(const Wizard& w);

// The BUILD button: hides the hub, writes the command text into the
// principal text, reports a title or format that the engine would cut, and
// reminds the user of the labels.
void build_job(Wizard& w, PrincipalText& principal, Prompts& prompts);

}  // namespace orv::frontend
