#pragma once
// What a start's command argument asks for, and the adding of its file, until the desktop
// integration's command processor carries commands out in full: a bare absolute path, "P" or
// "O" and a path add the file and play it; "Z" and a path add it only; "M" and a path add it
// for mailing; "NV" starts a browser plug-in request.

#include <cstdint>
#include <filesystem>
#include <string>

namespace tunquil {

class TitleImporter;
class TMyDB;

enum class StartVerb { None, Play, Add, Mail, PluginRequest };

struct StartCommand {
    StartVerb verb = StartVerb::None;
    std::filesystem::path path; // the file for Play, Add and Mail
};

StartCommand ParseStartCommand(const std::string& argument);

// The title for a Play, Add or Mail command: the live title whose origin is the file's path,
// else the file added as a new title (category "Windows default" or, for Mail, "Email
// default"; artist "Unknown"). -1 when it could not be added, with the reason in `status`.
int32_t TitleForStartCommand(TitleImporter& importer, const TMyDB& db, const StartCommand& command,
                             std::string& status);

} // namespace tunquil
