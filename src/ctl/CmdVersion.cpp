#include "base/Version.h"
#include "ctl/CtlCommand.h"

#include <ostream>

namespace tunquil::ctl {

static Registration version({"version", "version",
                             [](Context& ctx) {
                                 RejectArguments(ctx.args);
                                 ctx.out << "tunquilctl " << kVersion << "\n";
                                 return kOk;
                             },
                             "show the version"});

} // namespace tunquil::ctl
