#pragma once
// What the title commands of tunquilctl share: a host that talks on the terminal, and the
// database opened and closed as the program does it.

#include "base/Host.h"
#include "ctl/CtlCommand.h"
#include "database/TMusicLibrary.h"

#include <functional>
#include <iosfwd>
#include <memory>

namespace tunquil::ctl {

// A message as printable lines: line separators expanded, carriage returns dropped.
std::string Printable(const std::string& text);

// Messages go to standard error; a question takes the answer that changes nothing (Cancel,
// No, Abort, else OK), so an unattended run never deletes or overwrites anything.
class TerminalHost : public IHost {
public:
    explicit TerminalHost(std::ostream& err) : err_(err) {}

    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override;
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }
    void ProcessEvents() override {
        if (onProcessEvents)
            onProcessEvents();
    }
    void ShowDeviceUnavailable(const std::string& deviceMessage) override;
    // Status texts are printed to `statusOut` when it is set, each change once.
    void Status(const std::string& text) override;

    int errors = 0;               // error messages shown so far
    bool showInformation = true;  // false: information messages are left out
    bool blankLineBefore = false; // a line of its own below a status line being redrawn
    std::function<void()> onProcessEvents;
    std::ostream* statusOut = nullptr;

protected:
    std::ostream& err_;
    std::string lastStatus_;
};

// The database and its lists for one command. Open() reports a database that cannot be used
// on standard error and returns null (the command then exits with status 2).
class CtlLibrary {
public:
    // For a command that changes the library: takes it as the program does. While another copy
    // holds it, the message says what to do instead (in the running window, or once it is
    // closed); with `inUse` given, that case is left to the caller: null, nothing printed,
    // *inUse set.
    static std::unique_ptr<CtlLibrary> Open(Context& ctx, bool* inUse = nullptr);
    // For a command that only reads: works beside a running window, which is not told (see
    // TMusicLibrary::OpenForReading).
    static std::unique_ptr<CtlLibrary> OpenForReading(Context& ctx);

    TerminalHost& host() { return host_; }
    TMusicLibrary& library() { return *library_; }
    TDMM2& data() { return library_->Data(); }
    TMyDB& db() { return library_->Database(); }
    const fs::path& dir() const { return library_->ProgramDirectory(); }

    // Adds the live titles of the category named to `keys`; its key, or 0 with the message on
    // `err` when there is no such category.
    int32_t AddCategoryTitles(const std::string& name, std::vector<int32_t>& keys,
                              std::ostream& err);
    // Adds the titles of the album named to `keys`, in the album's order; the album, or null
    // with the message on `err` when there is no such album.
    const TAlbList::Album* AddAlbumTitles(const std::string& name, std::vector<int32_t>& keys,
                                          std::ostream& err);

    // Closes as the program does at shut-down; `status`, raised to 1 when closing showed an
    // error.
    int Finish(int status);

private:
    CtlLibrary(Context& ctx, bool reading);
    TerminalHost host_;
    std::unique_ptr<TMusicLibrary> library_;
};

// True when a Tunquil window is running for this user (it answers on the message bus).
bool WindowRuns();

// What to do instead of a command that changes the library while the window holds it.
std::string AdviceWhileWindowRuns(const std::string& command);

} // namespace tunquil::ctl
