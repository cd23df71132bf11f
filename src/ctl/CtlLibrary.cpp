#include "ctl/CtlLibrary.h"

#include "app/DeviceUnavailableNotice.h"
#include "app/PassedOverLibrary.h"
#include "base/ProgramDirectory.h"

#include <algorithm>
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

CtlLibrary::CtlLibrary(Context& ctx) : host_(ctx.err) {
    const fs::path dir = FindProgramDirectory(ctx.home);
    if (std::string notice = TakePassedOverLibraryNotice(dir, ctx.home); !notice.empty())
        ctx.err << "tunquilctl: " << ExpandLineSeparators(notice) << "\n";
    library_ = std::make_unique<TMusicLibrary>(dir, host_);
    library_->Open();
}

std::unique_ptr<CtlLibrary> CtlLibrary::Open(Context& ctx) {
    try {
        return std::unique_ptr<CtlLibrary>(new CtlLibrary(ctx));
    } catch (const std::exception& e) {
        ctx.err << "tunquilctl: " << ExpandLineSeparators(e.what()) << "\n";
        return nullptr;
    }
}

int CtlLibrary::Finish(int status) {
    int before = host_.errors;
    library_->Close();
    return host_.errors == before ? status : std::max(status, 1);
}

} // namespace tunquil::ctl
