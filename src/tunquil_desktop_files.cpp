// tunquil-desktop-files OUT-DIR: writes the desktop entry and the MIME package that an
// installed copy ships, by running the program's own start-up registration into OUT-DIR as
// if it were the user's data folder. The installed entry then has exactly the actions, MIME
// types and icon that the registration writes for a copy that is not installed. Used by the
// build only.

#include "base/ScriptedHost.h"
#include "integration/ShellIntegration.h"
#include "platform/XdgRegistry.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tunquil-desktop-files OUT-DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    try {
        tunquil::ScriptedHost host;
        tunquil::platform::XdgRegistry registry({out / "share", out / "config"},
                                                "Tunquil.Document");
        tunquil::ShellIntegration shell(host, registry, out);
        // Installed, the program is found on the PATH: the entry names it without a folder.
        if (!shell.RegisterDocumentType("tunquil"))
            return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tunquil-desktop-files: %s\n", e.what());
        return 1;
    }
    return 0;
}
