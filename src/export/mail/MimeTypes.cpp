#include "export/mail/MimeTypes.h"

#include "base/Text.h"

#include <fstream>
#include <sstream>
#include <unordered_map>

namespace tunquil {

namespace {

using TypeMap = std::unordered_map<std::string, std::string>;

// Extensions are keyed in capitals, so any case finds them.

// "type ext ext ..." lines; "#" starts a comment.
void LoadMimeTypesFile(const char* path, TypeMap& map) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string type, ext;
        if (!(fields >> type))
            continue;
        while (fields >> ext)
            map.emplace(UpperAscii(ext), type);
    }
}

// shared-mime-info's "globs" file: "type:*.ext" lines; other glob shapes are not extensions.
void LoadSharedMimeGlobs(const char* path, TypeMap& map) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t colon = line.find(':');
        if (colon == std::string::npos || line.compare(colon + 1, 2, "*.") != 0)
            continue;
        std::string ext = line.substr(colon + 3);
        if (ext.find_first_of("*?[") != std::string::npos)
            continue;
        map.emplace(UpperAscii(ext), line.substr(0, colon));
    }
}

const TypeMap& Types() {
    static const TypeMap types = [] {
        TypeMap map;
        // emplace keeps the first entry, so the earlier source wins.
        LoadMimeTypesFile("/etc/mime.types", map);
        LoadSharedMimeGlobs("/usr/share/mime/globs", map);
        return map;
    }();
    return types;
}

} // namespace

std::string ContentTypeForFile(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::string upper = ext.size() > 1 ? UpperAscii(ext.substr(1)) : "";
    // The system's tables may name another type first (mime.types has audio/sp-midi for
    // "mid"); a Standard MIDI File is audio/midi for every mail reader.
    if (upper == "MID" || upper == "MIDI" || upper == "KAR")
        return "audio/midi";
    if (ext.size() > 1) {
        auto it = Types().find(upper);
        if (it != Types().end())
            return it->second;
    }
    return "application/octet-stream";
}

std::string TransferEncodingFor(std::string_view contentType) {
    if (SameTextIgnoringCase(contentType, "text/plain") ||
        SameTextIgnoringCase(contentType, "text/rtf") ||
        SameTextIgnoringCase(contentType, "text/html"))
        return "quoted-printable";
    if (SameTextIgnoringCase(contentType, "message/rfc822"))
        return "7bit";
    return "base64";
}

} // namespace tunquil
