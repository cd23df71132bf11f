#include "app/StartCommand.h"

#include "database/TMyDB.h"
#include "import/TitleImporter.h"

namespace tunquil {

StartCommand ParseStartCommand(const std::string& a) {
    if (!a.empty() && a[0] == '/')
        return {StartVerb::Play, a};
    if (a.rfind("NV", 0) == 0)
        return {StartVerb::PluginRequest, {}};
    if (a.size() > 1 && a[1] == '/') {
        switch (a[0]) {
        case 'P':
        case 'O':
            return {StartVerb::Play, a.substr(1)};
        case 'Z':
            return {StartVerb::Add, a.substr(1)};
        case 'M':
            return {StartVerb::Mail, a.substr(1)};
        default:
            break;
        }
    }
    return {};
}

int32_t TitleForStartCommand(TitleImporter& importer, const TMyDB& db, const StartCommand& command,
                             std::string& status) {
    const std::string origin = command.path.string();
    int32_t key = -1;
    if (db.FindByOrigin(origin, key)) {
        status = kStatusOk;
        return key;
    }
    const char* category = command.verb == StartVerb::Mail ? "Email default" : "Windows default";
    status = importer.ImportMusicFile(command.path, command.path.filename().string(), origin,
                                      "Unknown", category, true, true);
    if (status != kStatusOk || !db.FindByOrigin(origin, key))
        return -1;
    return key;
}

} // namespace tunquil
