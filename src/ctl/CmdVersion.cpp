#include "ctl/CtlCommand.h"

#include <ostream>

namespace tunquil::ctl {

static Registration version({"version", "version", [](Context& ctx) {
                                 ctx.out << "tunquilctl 0.1.0\n";
                                 return kOk;
                             }});

} // namespace tunquil::ctl
