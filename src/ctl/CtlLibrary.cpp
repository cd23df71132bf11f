#include "ctl/CtlLibrary.h"

#include "app/DeviceUnavailableNotice.h"
#include "app/PassedOverLibrary.h"
#include "app/SingleInstance.h"
#include "base/ProgramDirectory.h"
#include "platform/SocketMessageBus.h"

#include <algorithm>
#include <map>
#include <ostream>

namespace tunquil::ctl {

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : ExpandLineSeparators(text))
        if (c != '\r')
            out += c;
    return out;
}

TModalResult TerminalHost::ShowMessage(const std::string& text, TMsgDlgType type, int,
                                       TMsgDlgButtons buttons) {
    if (type == TMsgDlgType::mtError)
        ++errors;
    if (type != TMsgDlgType::mtInformation || showInformation) {
        if (blankLineBefore)
            err_ << "\n";
        err_ << Printable(text) << "\n";
    }
    return SafestAnswer(buttons);
}

void TerminalHost::ShowDeviceUnavailable(const std::string& deviceMessage) {
    err_ << "\n" << DeviceUnavailableNotice::Caption() << "\n";
    for (const auto& line : DeviceUnavailableNotice::Lines(deviceMessage))
        err_ << line << "\n";
}

void TerminalHost::Status(const std::string& text) {
    if (statusOut && !text.empty() && text != lastStatus_)
        *statusOut << text << "\n";
    lastStatus_ = text;
}

CtlLibrary::CtlLibrary(Context& ctx, bool reading) : host_(ctx.err) {
    const fs::path dir = FindProgramDirectory(ctx.home);
    library_ = std::make_unique<TMusicLibrary>(dir, host_);
    // Giving the notice of a library passed over notes it in Tunquil.ini: beside the window,
    // whose settings those are, that is left to the window.
    if (!reading || !WindowRuns())
        if (std::string notice = TakePassedOverLibraryNotice(dir, ctx.home); !notice.empty())
            ctx.err << "tunquilctl: " << ExpandLineSeparators(notice) << "\n";
    if (reading)
        library_->OpenForReading();
    else
        library_->Open();
}

bool WindowRuns() {
    try {
        platform::SocketMessageBus bus;
        return bus.FindWindow(kMainWindowClass);
    } catch (const std::exception&) {
        return false; // no bus: no window can be reached either
    }
}

std::string AdviceWhileWindowRuns(const std::string& command) {
    static const std::map<std::string, std::string> advice = {
        {"scan", "Scan from the window's File menu"},
        {"delete", "Delete the titles in the window"},
        {"edit", "Edit the title in the window"},
        {"album", "Change the album in the window"},
        {"category", "Change the category in the window"},
        {"play", "Play the titles in the window"},
        {"archive", "Archive the titles from the window"},
        {"mail", "Mail the titles from the window"},
    };
    if (command == "pack")
        return "The window packs the database itself when it closes.";
    auto it = advice.find(command);
    std::string text = it == advice.end() ? std::string() : it->second + ", or close it";
    text = text.empty() ? "Close it" : text;
    return text + " and run \"tunquilctl " + command + "\" again.";
}

std::unique_ptr<CtlLibrary> CtlLibrary::Open(Context& ctx, bool* inUse) {
    try {
        return std::unique_ptr<CtlLibrary>(new CtlLibrary(ctx, false));
    } catch (const FileInUseError& e) {
        if (inUse) {
            *inUse = true;
            return nullptr;
        }
        // Another copy may be a tunquilctl command still at work, which ends by itself.
        if (WindowRuns())
            ctx.err << "tunquilctl " << ctx.command
                    << ": the library is open in the running Tunquil window, and only one copy "
                       "changes it at a time.\n"
                    << AdviceWhileWindowRuns(ctx.command) << "\n";
        else
            ctx.err << "tunquilctl: " << ExpandLineSeparators(e.what()) << "\n";
        return nullptr;
    } catch (const std::exception& e) {
        ctx.err << "tunquilctl: " << ExpandLineSeparators(e.what()) << "\n";
        return nullptr;
    }
}

std::unique_ptr<CtlLibrary> CtlLibrary::OpenForReading(Context& ctx) {
    try {
        return std::unique_ptr<CtlLibrary>(new CtlLibrary(ctx, true));
    } catch (const std::exception& e) {
        ctx.err << "tunquilctl: " << ExpandLineSeparators(e.what()) << "\n";
        return nullptr;
    }
}

int32_t CtlLibrary::AddCategoryTitles(const std::string& name, std::vector<int32_t>& keys,
                                      std::ostream& err) {
    const int32_t ck = library().Categories().FindByName(name);
    if (ck == 0) {
        err << "tunquilctl: there is no category \"" << name << "\"\n";
        return 0;
    }
    db().ForEachLiveTitle([&](const TitleRecord& r) {
        if (r.ck == ck)
            keys.push_back(r.masterKey);
    });
    return ck;
}

const TAlbList::Album* CtlLibrary::AddAlbumTitles(const std::string& name,
                                                  std::vector<int32_t>& keys, std::ostream& err) {
    const auto& albums = library().Albums();
    const TAlbList::Album* found = albums.AlbumOf(albums.FindByName(name));
    if (!found) {
        err << "tunquilctl: there is no album \"" << name << "\"\n";
        return nullptr;
    }
    for (const auto& entry : found->entries)
        keys.push_back(entry.masterKey);
    return found;
}

int CtlLibrary::Finish(int status) {
    int before = host_.errors;
    library_->Close();
    return host_.errors == before ? status : std::max(status, 1);
}

} // namespace tunquil::ctl
