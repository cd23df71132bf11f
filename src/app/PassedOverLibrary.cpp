#include "app/PassedOverLibrary.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"

#include <exception>

namespace tunquil {

namespace fs = std::filesystem;

std::string PassedOverLibraryNotice(const fs::path& passedOver, const fs::path& programDirectory) {
    return "A music library lies beside the program, in " + passedOver.string() +
           ", but Tunquil now keeps its library in " + programDirectory.string() +
           ".\\nTo go on using the library beside the program, put an empty file named \"" +
           kPortableMarker + "\" there (the folder must be yours alone), and start Tunquil again.";
}

std::string TakePassedOverLibraryNotice(const fs::path& programDirectory,
                                        const std::string& explicitHome) {
    const auto passedOver = PassedOverLibrary(CurrentProgramDirectoryInputs(explicitHome));
    if (!passedOver)
        return {};
    try {
        IniFile ini(SettingsPath(programDirectory));
        if (ini.ReadString("Start", "PassedOverLibrary", "") == passedOver->string())
            return {};
        ini.WriteString("Start", "PassedOverLibrary", passedOver->string());
        ini.UpdateFile();
    } catch (const std::exception&) {
        // Settings that cannot be read or written cost only the memory of having said it.
    }
    return PassedOverLibraryNotice(*passedOver, programDirectory);
}

} // namespace tunquil
