#include "ctl/CtlCommand.h"
#include "midi/MidiData.h"
#include "midi/MidiProbe.h"
#include "midi/TuneTime.h"

#include <ostream>

namespace tunquil::ctl {

// One line per file: kind, size, tune time in seconds (only for Standard MIDI Files), path. A
// file that cannot be read has its reason on standard error and makes the exit status 1.
static Registration info({"info", "info FILE...",
                          [](Context& ctx) {
                              RejectUnknownOptions(ctx.args);
                              if (ctx.args.empty())
                                  throw UsageError("info needs at least one file");
                              TMidiData midiData;
                              int result = kOk;
                              for (const auto& path : ctx.args) {
                                  TMidiProbe probe = ProbeMidiFile(path);
                                  if (!probe.problem.empty()) {
                                      ctx.err << "tunquilctl info: " << probe.problem << '\n';
                                      result = kProblems;
                                  }
                                  ctx.out << probe.kind << '\t' << probe.size << '\t';
                                  if (probe.kind == 1)
                                      ctx.out << GetTuneTime(midiData, path);
                                  ctx.out << '\t' << path << '\n';
                              }
                              return result;
                          },
                          "show the kind, size and playing time in seconds of MIDI files"});

} // namespace tunquil::ctl
