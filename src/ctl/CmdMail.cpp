// tunquilctl mail: sends titles from the database with the mail settings of Tunquil.ini, as
// one compressed archive with a listing in the body, or as separate MIDI attachments.

#include "base/Files.h"
#include "base/Host.h"
#include "base/ProgramDirectory.h"
#include "ctl/CtlCommand.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/DatabaseTitleExporter.h"
#include "export/TitleMailer.h"
#include "export/ZipArchiveWriter.h"

#include <memory>
#include <ostream>

namespace tunquil::ctl {

namespace {

// Status texts go to standard output as they come, messages to standard error; questions take
// their safe default.
class MailHost : public IHost {
public:
    MailHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    TModalResult ShowMessage(const std::string& text, TMsgDlgType, int,
                             TMsgDlgButtons buttons) override {
        err_ << ExpandLineSeparators(text) << "\n";
        if (buttons & mbOK)
            return TModalResult::mrOk;
        return (buttons & mbCancel) ? TModalResult::mrCancel : TModalResult::mrNo;
    }
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }
    void Status(const std::string& text) override {
        if (!text.empty() && text != last_)
            out_ << text << "\n";
        last_ = text;
    }

private:
    std::ostream& out_;
    std::ostream& err_;
    std::string last_;
};

std::vector<std::string> BodyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = next;
    }
    return lines;
}

int Mail(Context& ctx) {
    std::optional<std::string> to = TakeOption(ctx.args, "--to");
    std::string subject = TakeOption(ctx.args, "--subject").value_or("");
    std::optional<std::string> bodyFile = TakeOption(ctx.args, "--body-file");
    bool separate = TakeFlag(ctx.args, "--separate");
    RejectUnknownOptions(ctx.args);
    if (!to || ctx.args.empty())
        throw UsageError("usage: mail KEY... --to ADDRESSES [--subject TEXT] [--body-file FILE] "
                         "[--separate]");
    std::vector<int> keys;
    for (const std::string& arg : ctx.args)
        keys.push_back(ParseKey(arg));
    std::vector<std::string> body;
    if (bodyFile) {
        try {
            body = BodyLines(ReadWholeFile(*bodyFile));
        } catch (const FileError& e) {
            ctx.err << "tunquilctl: " << e.what() << "\n";
            return kProblems;
        }
    }

    MailHost host(ctx.out, ctx.err);
    fs::path dir;
    std::unique_ptr<TCatList> categories;
    std::unique_ptr<TDMM2> dm;
    try {
        dir = FindProgramDirectory(ctx.home);
        categories = std::make_unique<TCatList>(dir);
        categories->Load("Categories");
        dm = std::make_unique<TDMM2>(dir, host);
        dm->SetCategoryList(categories.get());
        dm->OpenDatabase();
    } catch (const std::exception& e) {
        ctx.err << "tunquilctl: " << ExpandLineSeparators(e.what()) << "\n";
        return kProblems;
    }

    bool sent = false;
    {
        DatabaseTitleExporter exporter(dm->Database(), host, dir, categories.get());
        ZipArchiveWriter archiver;
        TitleMailer mailer(host, dir, exporter, archiver);
        mailer.LoadSettings();
        mailer.AttachTitles(keys);
        if (mailer.rows().empty())
            ctx.err << "tunquilctl: none of the keys names a title\n";
        else
            sent = mailer.Send(*to, subject, body, !separate);
        for (const MailAttachmentRow& row : mailer.rows()) {
            std::error_code ec;
            fs::remove(row.path, ec);
        }
    }
    dm->Close();
    return sent ? kOk : kProblems;
}

Registration mail({"mail",
                   "mail KEY... --to ADDRESSES [--subject TEXT] [--body-file FILE] [--separate]",
                   Mail});

} // namespace

} // namespace tunquil::ctl
