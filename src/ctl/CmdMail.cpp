// tunquilctl mail: sends titles from the database with the mail settings of Tunquil.ini, as
// one compressed archive with a listing in the body, or as separate MIDI attachments. The
// password of a login comes from the keyring, or from standard input with --password-stdin;
// it is never taken from the command line, where every user of the machine could read it.

#include "base/Files.h"
#include "base/Text.h"
#include "ctl/CtlLibrary.h"
#include "export/DatabaseTitleExporter.h"
#include "export/archive/ZipArchiveWriter.h"
#include "export/mail/TitleMailer.h"

#include <iostream>
#include <memory>
#include <ostream>

namespace tunquil::ctl {

namespace {

int Mail(Context& ctx) {
    std::optional<std::string> to = TakeOption(ctx.args, "--to");
    std::string subject = TakeOption(ctx.args, "--subject").value_or("");
    std::optional<std::string> bodyFile = TakeOption(ctx.args, "--body-file");
    bool separate = TakeFlag(ctx.args, "--separate");
    bool passwordStdin = TakeFlag(ctx.args, "--password-stdin");
    RejectUnknownOptions(ctx.args);
    if (!to || ctx.args.empty())
        throw UsageError("usage: mail KEY... --to ADDRESSES [--subject TEXT] [--body-file FILE] "
                         "[--separate] [--password-stdin]");
    std::optional<std::string> password;
    if (passwordStdin) {
        // The first line, as `echo` or a password manager gives it.
        password.emplace();
        std::getline(std::cin, *password);
        if (!password->empty() && password->back() == '\r')
            password->pop_back();
    }
    std::vector<int> keys;
    for (const std::string& arg : ctx.args)
        keys.push_back(ParseKey(arg));
    std::vector<std::string> body;
    if (bodyFile) {
        try {
            body = SplitLines(ReadWholeFile(*bodyFile));
        } catch (const FileError& e) {
            ctx.err << "tunquilctl: " << e.what() << "\n";
            return kProblems;
        }
    }

    auto session = CtlLibrary::Open(ctx);
    if (!session)
        return kUsage;
    TerminalHost& host = session->host();
    host.statusOut = &ctx.out; // the status texts, as they come
    const fs::path& dir = session->dir();

    bool sent = false;
    {
        DatabaseTitleExporter exporter(session->db(), host, dir, &session->library().Categories());
        ZipArchiveWriter archiver;
        TitleMailer mailer(host, dir, exporter, archiver);
        mailer.LoadSettings();
        if (password)
            mailer.SetPassword(*password);
        mailer.AttachTitles(keys);
        if (mailer.rows().empty())
            ctx.err << "tunquilctl: none of the keys names a title\n";
        else
            sent = mailer.Send(*to, subject, body, !separate);
        mailer.RemoveAttachedFiles();
    }
    return session->Finish(sent ? kOk : kProblems);
}

Registration mail({"mail",
                   "mail KEY... --to ADDRESSES [--subject TEXT] [--body-file FILE] [--separate] "
                   "[--password-stdin]",
                   Mail,
                   "send titles by mail through the mail server set in Tunquil.ini",
                   {{"--to ADDRESSES", "the recipients, separated by commas"},
                    {"--subject TEXT", "the subject line"},
                    {"--body-file FILE", "the message text, from a file"},
                    {"--separate", "one message for each title"},
                    {"--password-stdin", "read the mail server's password from the first line "
                                         "of standard input"}}});

} // namespace

} // namespace tunquil::ctl
