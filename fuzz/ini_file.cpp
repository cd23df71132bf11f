// Any bytes taken as a settings file: reading must neither crash nor read outside the text, and
// a value written must read back the same from the text a save would write, whatever the lines
// around it hold.

#include "base/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    tunquil::IniFile ini("fuzz.ini", text);
    // Names from the input itself, so that the reads meet its sections and keys.
    std::string_view section = text.substr(0, text.find_first_of("]\r\n"));
    if (!section.empty() && section.front() == '[')
        section.remove_prefix(1);
    (void)ini.SectionExists(section);
    (void)ini.ValueExists(section, "Key");
    (void)ini.ReadString(section, "Key", "default");
    (void)ini.ReadInteger("Setup", "Volume", 7);
    (void)ini.ReadBool("Setup", "FullScanDone", false);

    ini.WriteString("Fuzz", "Written", "value 1");
    ini.WriteInteger("Setup", "Volume", -42);
    ini.DeleteKey("Setup", "FullScanDone");
    tunquil::IniFile saved("fuzz.ini", ini.Text());
    if (saved.ReadString("Fuzz", "Written", "") != "value 1" ||
        saved.ReadInteger("Setup", "Volume", 0) != -42 ||
        saved.ValueExists("Setup", "FullScanDone"))
        std::abort();
    return 0;
}
