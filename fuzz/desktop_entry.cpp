// Feeds arbitrary desktop files to the registry's reader of desktop entries and its Exec
// splitter, as a file another program or the user edited would reach them. Whatever the file,
// reading never fails; and a program path, whatever it holds, comes back whole from the Exec
// line written for it.

#include "platform/XdgRegistry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using tunquil::platform::XdgRegistry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* group : {"Desktop Entry", "Desktop Action Open"}) {
        std::string exec;
        if (XdgRegistry::DesktopValue(text, group, "Exec", exec)) {
            XdgRegistry::SplitExec(exec);
            XdgRegistry::ShellCommandFromExec(exec);
        }
    }

    // The input as a program path: written as a verb's Exec line and read back.
    const std::string exe(text.substr(0, text.find('\0')));
    if (exe.empty())
        return 0;
    const std::string command = "\"" + exe + "\" P\"%1\"";
    const std::string line = XdgRegistry::ExecFromShellCommand(command);
    const auto args = XdgRegistry::SplitExec(line);
    if (args.size() != 4 || args[0] != exe || args[1] != "--verb" || args[2] != "P" ||
        args[3] != "%f" || XdgRegistry::ShellCommandFromExec(line) != command)
        __builtin_trap();
    return 0;
}
