// Arbitrary bytes as the name stored for a ZIP member: the file name it is unpacked under and
// the title made from it must be UTF-8 without control characters, and the file name must stay
// a bare name inside the extraction folder.

#include "base/Text.h"
#include "export/archive/TAbUnZipper.h"
#include "import/TitleImporter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool HasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view stored(reinterpret_cast<const char*>(data), size);
    std::string file = tunquil::TAbUnZipper::MemberFileName(stored);
    std::string title = tunquil::TitleImporter::CleanTitle(file);
    for (const std::string* text : {&file, &title})
        if (!tunquil::IsValidUtf8(*text) || HasControlCharacter(*text))
            __builtin_trap();
    if (file.find_first_of("/\\") != std::string::npos || file == "." || file == "..")
        __builtin_trap();
    return 0;
}
