#include "integration/CommandProcessor.h"

#include "base/Text.h"

#include <system_error>

namespace tunquil {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWindowsDefault = "Windows default";
constexpr const char* kEmailDefault = "Email default";
constexpr const char* kNetscapeDefault = "Netscape default";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBarePath(const std::string& command) {
    return !command.empty() && command[0] == '/';
}

} // namespace

std::string CommandProcessor::TitleFromUrl(const std::string& url, const std::string& localPath) {
    std::string u = url.substr(0, url.find_first_of("?#"));
    std::string segment =
        u.substr(u.find_last_of('/') == std::string::npos ? 0 : u.find_last_of('/') + 1);
    std::string decoded;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] == '%' && i + 2 < segment.size() && HexValue(segment[i + 1]) >= 0 &&
            HexValue(segment[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(segment[i + 1]) * 16 + HexValue(segment[i + 2]));
            i += 2;
        } else {
            decoded += segment[i];
        }
    }
    std::string safe;
    for (char c : WithoutControlCharacters(decoded))
        if (c != '/' && c != '\\')
            safe += c;
    safe = Trim(safe);
    if (safe.empty())
        return fs::path(localPath).filename().string();
    return safe;
}

bool CommandProcessor::ParsePluginCommand(const std::string& command, PluginRequest& request) {
    if (command.size() < 2)
        return false;
    std::string rest = command.substr(2);
    std::size_t separator = rest.find('\0');
    if (separator == std::string::npos) {
        separator = rest.find('[');
        if (separator == std::string::npos || rest.size() <= 2)
            return false;
    }
    if (separator == 0)
        return false;
    request.path = rest.substr(0, separator);
    request.origin = Trim(rest.substr(separator + 1));
    request.title = TitleFromUrl(request.origin, request.path);
    return true;
}

namespace {
// Between the fields of an A command: the unit separator, which no file name or name typed for
// a category or artist holds in practice (the bus carries no NUL).
constexpr char kAddSeparator = '\x1f';
} // namespace

std::string CommandProcessor::AddCommand(const AddRequest& r) {
    const std::string flags = r.allowDuplicates ? "D" : "";
    for (const std::string* field : {&r.path, &r.category, &r.artist, &r.library})
        if (field->find(kAddSeparator) != std::string::npos)
            return {};
    return "A" + r.path + kAddSeparator + r.category + kAddSeparator + r.artist + kAddSeparator +
           flags + kAddSeparator + r.library;
}

bool CommandProcessor::ParseAddCommand(const std::string& command, AddRequest& request) {
    if (command.size() < 2 || command[0] != 'A')
        return false;
    std::vector<std::string> fields(1);
    for (std::size_t i = 1; i < command.size(); ++i) {
        if (command[i] == kAddSeparator)
            fields.emplace_back();
        else
            fields.back() += command[i];
    }
    if (fields.size() != 5 || fields[0].empty() || fields[0][0] != '/')
        return false;
    request.path = fields[0];
    request.category = fields[1];
    request.artist = fields[2];
    request.allowDuplicates = fields[3] == "D";
    request.library = fields[4];
    return true;
}

std::vector<std::string>
CommandProcessor::CommandsFromArguments(const std::vector<std::string>& args) {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--verb") {
            // The desktop menu's own start passes the verb without a file: a plain start.
            if (i + 2 < args.size())
                commands.push_back(args[i + 1] + args[i + 2]);
            i += 2;
        } else if (args[i] == "--plugin") {
            // The plug-in helper's start: a path and a URL, each whole (see ParsePluginCommand).
            if (i + 2 < args.size())
                commands.push_back("NV" + args[i + 1] + '\0' + args[i + 2]);
            i += 2;
        } else {
            commands.push_back(args[i]);
        }
    }
    return commands;
}

void CommandProcessor::ProcessCommand(const std::string& command, int position) {
    (void)position;
    processed_ = true;
    if (command.empty())
        return;
    if (AddRequest add; ParseAddCommand(command, add)) {
        AddFile(add);
        return;
    }
    const bool plugin = command.rfind("NV", 0) == 0;
    const bool bare = IsBarePath(command);
    const char verb = bare ? 'P' : command[0];

    std::string path = bare ? command : command.substr(1);
    std::string origin = path, title, category;
    if (plugin) {
        PluginRequest request;
        if (!ParsePluginCommand(command, request))
            return; // nothing to import: no file was named
        path = request.path;
        origin = request.origin;
        title = request.title;
        category = kNetscapeDefault;
    } else {
        title = fs::path(path).filename().string();
        if (verb == 'P' || verb == 'O' || verb == 'Z')
            category = kWindowsDefault;
        else if (verb == 'M')
            category = kEmailDefault;
    }

    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) {
        if (!plugin && verb == 'Z') {
            try {
                target_.RefreshViews();
            } catch (const std::exception&) {
                // A refresh that fails leaves the old lists; the command itself had no file.
            }
        }
        return;
    }

    int32_t key = 0;
    if (!target_.FindByOrigin(origin, key)) {
        std::string status =
            target_.ImportMusicFile(path, title, origin, "Unknown", category, true, false);
        if (status != "OK") {
            if (plugin)
                target_.TellPluginBadFile();
            return;
        }
        key = target_.HighestMasterKey();
    }
    if (key == 0)
        return;

    if (plugin || verb == 'P' || verb == 'O') {
        if (plugin)
            target_.SetAutoLooping(true);
        BusyScope busy(host_);
        try {
            target_.PlayAtFront(key, plugin);
            target_.RefreshViews();
        } catch (const std::exception&) {
            // The title is in the database either way; a play that fails has shown its own
            // message through the play program.
        }
    } else if (verb == 'M') {
        target_.MailTitles({static_cast<int>(key)});
    } else if (verb == 'Z') {
        try {
            target_.RefreshViews();
        } catch (const std::exception&) {
            // As above: the title was added, only the lists lag behind.
        }
    }
}

void CommandProcessor::AddFile(const AddRequest& request) {
    const fs::path path = request.path;
    const std::string name = path.filename().string();
    // The window may show another library than the one the command was run for (--home);
    // titles meant for that one must not land in this one.
    fs::path own = target_.LibraryDirectory();
    std::error_code ec;
    if (!request.library.empty() && !own.empty() && !fs::equivalent(own, request.library, ec)) {
        host_.Status("Not added: " + name + " was meant for the library in " + request.library);
        return;
    }
    std::string result;
    try {
        // Without questions, as tunquilctl add does: a duplicate or a damaged file is told in
        // the status line and left out.
        result = target_.ImportMusicFile(path, name, path.string(), request.artist,
                                         request.category, true, !request.allowDuplicates);
    } catch (const std::exception& e) {
        result = e.what();
    }
    if (result.empty() && UpperAscii(name).find(".ZIP") == std::string::npos)
        result = "not a MIDI file or ZIP archive";
    host_.Status(result == "OK" || result.empty() ? "Added " + name : name + ": " + result);
    try {
        target_.RefreshViews();
    } catch (const std::exception&) {
        // The title was added (or not) either way; only the lists lag behind.
    }
}

void CommandProcessor::ImportDroppedFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return;
    try {
        // The name without its extension: "Mr. Blue Sky.mid" is "Mr. Blue Sky", not "Mr", and a
        // name without a dot is whole, never empty (an empty title would keep the last one).
        std::string title = path.stem().string();
        std::string category = Trim(target_.ActiveCategoryCaption());
        if (category.empty())
            category = kWindowsDefault;
        target_.ImportMusicFile(path, title, path.string(), "Unknown", category, true, false);
        target_.RefreshViews();
    } catch (const std::exception&) {
        // A drop that cannot be imported is not worth a message box.
    }
}

} // namespace tunquil
