#pragma once
// Everything tunquilctl says about itself, made from the command registrations: the help
// text, the manual pages of tunquilctl and tunquil, and the bash completion. The build writes
// the manual pages and the completion script with `tunquilctl help --man PAGE` and
// `tunquilctl help --bash-completion`, so none of them can disagree with the commands.

#include "ctl/CtlCommand.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tunquil::ctl {

// The commands sorted by name.
std::vector<Command> SortedCommands();

// "tunquilctl help": the synopsis and every command with its summary.
void PrintHelp(std::ostream& os);
// "tunquilctl help COMMAND": its usage, summary and options; false when there is no such command.
bool PrintCommandHelp(std::ostream& os, const std::string& name);

// The manual page in roff, for "tunquilctl" or "tunquil"; false for another name.
bool WriteManPage(std::ostream& os, const std::string& page);
// A bash completion script for tunquilctl: commands, their options, the words an option takes
// and files by the extensions that the usage's placeholders stand for.
void WriteBashCompletion(std::ostream& os);

} // namespace tunquil::ctl
