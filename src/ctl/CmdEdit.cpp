// tunquilctl's editing commands: album, category and edit. They run the main window's editing
// commands without a window: the questions those ask are answered yes (the command line is the
// user's answer), notices and errors go to standard error. Each edit is saved as it is made.

#include "app/LibraryEditor.h"
#include "base/Text.h"
#include "ctl/CtlLibrary.h"
#include "database/TPerfList.h"

#include <memory>
#include <optional>
#include <ostream>

namespace tunquil::ctl {

namespace {

// Answers every question with its going-ahead button; the rest goes to the terminal.
class GoAheadHost : public IHost {
public:
    explicit GoAheadHost(TerminalHost& terminal) : terminal_(terminal) {}
    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override {
        if (buttons & (mbCancel | mbAbort))
            return buttons & mbOK ? TModalResult::mrOk : TModalResult::mrYes;
        return terminal_.ShowMessage(text, type, helpContext, buttons);
    }
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }

private:
    TerminalHost& terminal_;
};

// The open library with an editor over it.
struct EditSession {
    std::unique_ptr<CtlLibrary> lib;
    std::unique_ptr<GoAheadHost> host;
    std::unique_ptr<LibraryEditor> editor;

    static std::optional<EditSession> Open(Context& ctx) {
        EditSession s;
        s.lib = CtlLibrary::Open(ctx);
        if (!s.lib)
            return std::nullopt;
        s.host = std::make_unique<GoAheadHost>(s.lib->host());
        s.editor = std::make_unique<LibraryEditor>(s.lib->library(), *s.host);
        return s;
    }
    TAlbList& albums() { return lib->library().Albums(); }
    TCatList& categories() { return lib->library().Categories(); }
    int Fail(Context& ctx, const std::string& command, const std::string& text) {
        ctx.err << "tunquilctl " << command << ": " << text << "\n";
        return lib->Finish(kProblems);
    }
};

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// A 1-based row number as given on the command line.
int ParseRow(const std::string& text) {
    return ParsePositive(text, "a row number");
}

void Expect(const std::vector<std::string>& args, std::size_t fewest, std::size_t most) {
    RejectUnknownOptions(args);
    if (args.size() < fewest)
        throw UsageError("missing arguments");
    if (args.size() > most)
        throw UsageError("unexpected argument " + args[most]);
}

int Album(Context& ctx) {
    if (ctx.args.empty())
        throw UsageError("no album command given");
    std::string verb = ctx.args[0];
    std::vector<std::string> args(ctx.args.begin() + 1, ctx.args.end());
    std::optional<std::string> to;
    if (verb == "move")
        to = TakeOption(args, "--to");
    std::vector<int32_t> keys;
    std::vector<int> rows;
    if (verb == "create" || verb == "delete") {
        Expect(args, 1, 1);
    } else if (verb == "rename") {
        Expect(args, 2, 2);
    } else if (verb == "add") {
        Expect(args, 2, args.size());
        for (std::size_t i = 1; i < args.size(); ++i)
            keys.push_back(ParseKey(args[i]));
    } else if (verb == "remove" || verb == "move") {
        Expect(args, 2, args.size());
        if (verb == "move" && !to)
            throw UsageError("move needs --to ROW");
        for (std::size_t i = 1; i < args.size(); ++i)
            rows.push_back(ParseRow(args[i]) - 1);
    } else {
        throw UsageError("unknown album command " + verb);
    }
    int target = to ? ParseRow(*to) - 1 : 0;

    auto s = EditSession::Open(ctx);
    if (!s)
        return kUsage;
    const std::string command = "album " + verb;
    const std::string& name = args[0];
    if (verb == "create") {
        if (Trim(name).empty())
            return s->Fail(ctx, command, "an album name cannot be blank");
        // An album that is there already is not made again: that is an error, as in the window.
        if (int32_t existing = s->albums().FindByName(Trim(name)))
            return s->Fail(ctx, command,
                           "album " + std::to_string(existing) + " " +
                               Quoted(s->albums().AlbumOf(existing)->record.name) +
                               " already exists");
        int32_t key = s->editor->CreateAlbum(name);
        if (key == 0)
            return s->lib->Finish(kProblems); // the reason was shown
        const auto* album = s->albums().AlbumOf(key);
        ctx.out << "album " << key << " " << Quoted(album ? album->record.name : name)
                << " created\n";
        return s->lib->Finish(kOk);
    }
    int32_t albumKey = s->albums().FindByName(Trim(name));
    if (albumKey == 0)
        return s->Fail(ctx, command, "no album is named " + Quoted(name));
    const auto& entries = s->albums().AlbumOf(albumKey)->entries;
    if (verb == "rename") {
        if (Trim(args[1]).empty())
            return s->Fail(ctx, command, "an album name cannot be blank");
        int32_t other = s->albums().FindByName(Trim(args[1]));
        s->editor->RenameAlbum(albumKey, args[1]);
        ctx.out << "album " << Quoted(name)
                << (other != 0 && other != albumKey ? " merged into " : " renamed to ")
                << Quoted(Trim(args[1])) << "\n";
    } else if (verb == "delete") {
        s->editor->DeleteAlbum(albumKey);
        ctx.out << "album " << Quoted(name) << " deleted\n";
    } else if (verb == "add") {
        // Every key is checked first: a wrong one changes nothing.
        for (int32_t key : keys)
            if (s->lib->db().FindSlot(key) == 0)
                return s->Fail(ctx, command, "no title has the key " + std::to_string(key));
        int added = s->albums().AppendTitles(albumKey, keys);
        ctx.out << added << (added == 1 ? " title" : " titles") << " added to album "
                << Quoted(name) << "\n";
    } else {
        for (int row : rows)
            if (static_cast<std::size_t>(row) >= entries.size())
                return s->Fail(ctx, command,
                               "album " + Quoted(name) + " has no row " + std::to_string(row + 1) +
                                   " (it has " + std::to_string(entries.size()) + ")");
        if (verb == "remove") {
            std::size_t before = entries.size();
            s->editor->DeleteTitlesFromAlbum(albumKey, rows);
            std::size_t removed = before - s->albums().AlbumOf(albumKey)->entries.size();
            ctx.out << removed << (removed == 1 ? " row" : " rows") << " removed from album "
                    << Quoted(name) << "\n";
        } else {
            if (static_cast<std::size_t>(target) > entries.size())
                return s->Fail(ctx, command,
                               "--to " + *to + " is past the end of album " + Quoted(name) +
                                   " (rows 1 to " + std::to_string(entries.size() + 1) + ")");
            int first = s->albums().MoveRows(albumKey, rows, target);
            ctx.out << "moved to row " << first + 1 << " of album " << Quoted(name) << "\n";
        }
    }
    return s->lib->Finish(kOk);
}

int Category(Context& ctx) {
    if (ctx.args.empty())
        throw UsageError("no category command given");
    std::string verb = ctx.args[0];
    std::vector<std::string> args(ctx.args.begin() + 1, ctx.args.end());
    if (verb == "create" || verb == "delete")
        Expect(args, 1, 1);
    else if (verb == "rename")
        Expect(args, 2, 2);
    else
        throw UsageError("unknown category command " + verb);

    auto s = EditSession::Open(ctx);
    if (!s)
        return kUsage;
    const std::string command = "category " + verb;
    const std::string& name = args[0];
    if (verb == "create") {
        if (Trim(name).empty())
            return s->Fail(ctx, command, "a category name cannot be blank");
        int32_t ck = s->editor->CreateCategory(name);
        if (ck == 0)
            return s->lib->Finish(kProblems);
        ctx.out << "category " << ck << " " << Quoted(s->categories().NameOf(ck)) << "\n";
        return s->lib->Finish(kOk);
    }
    int32_t ck = s->categories().FindByName(name);
    if (ck == 0)
        return s->Fail(ctx, command, "no category is named " + Quoted(name));
    if (verb == "rename") {
        if (Trim(args[1]).empty())
            return s->Fail(ctx, command, "a category name cannot be blank");
        int32_t other = s->categories().FindByName(Trim(args[1]));
        s->editor->RenameCategory(ck, args[1]);
        ctx.out << "category " << Quoted(name)
                << (other != 0 && other != ck ? " merged into " : " renamed to ")
                << Quoted(Trim(args[1])) << "\n";
    } else {
        int before = s->lib->db().LiveCount();
        bool whole = s->editor->DeleteCategory(ck); // when not, the reason was shown
        int deleted = before - s->lib->db().LiveCount();
        if (!whole) {
            ctx.out << deleted << (deleted == 1 ? " title" : " titles") << " of category "
                    << Quoted(name) << " deleted; the category stays\n";
            return s->lib->Finish(kProblems);
        }
        ctx.out << "category " << Quoted(name) << " deleted with " << deleted
                << (deleted == 1 ? " title\n" : " titles\n");
    }
    return s->lib->Finish(kOk);
}

int Edit(Context& ctx) {
    auto artist = TakeOption(ctx.args, "--artist");
    auto category = TakeOption(ctx.args, "--category");
    auto title = TakeOption(ctx.args, "--title");
    Expect(ctx.args, 1, 1);
    int32_t key = ParseKey(ctx.args[0]);
    if (!artist && !category && !title)
        throw UsageError("nothing to change: give --artist, --category or --title");
    std::string first, last;
    if (artist) {
        SplitArtistText(*artist, first, last);
        if (Trim(first + last).empty())
            throw UsageError("an artist cannot be blank");
    }
    if (category && Trim(*category).empty())
        throw UsageError("a category cannot be blank");

    auto s = EditSession::Open(ctx);
    if (!s)
        return kUsage;
    TitleRecord own;
    if (!s->lib->db().ReadRecordByKey(key, own))
        return s->Fail(ctx, "edit", "no title has the key " + std::to_string(key));
    // As the title-information window does with typed names: found, or added.
    TitleEditResult result;
    result.ck = category ? s->categories().AddCategory(Trim(*category)) : own.ck;
    result.pk = artist ? s->lib->data().Performers().FindOrAdd(first, last) : own.pk;
    result.title = title ? Trim(*title) : own.title;
    if (s->editor->ApplyTitleEdit({key}, result) != 1)
        return s->lib->Finish(kProblems); // the reason was shown
    TitleRecord now;
    s->lib->db().ReadRecordByKey(key, now);
    ctx.out << key << "  " << now.categoryName << "  " << now.artist << "  " << now.title << "\n";
    return s->lib->Finish(kOk);
}

Registration album({"album",
                    "album create NAME | rename NAME NEWNAME | delete NAME | add NAME KEY... | "
                    "remove NAME ROW... | move NAME --to ROW ROW...",
                    Album,
                    "create, rename and delete albums, and add, remove and reorder their rows",
                    {{"--to ROW", "with move: the row that the moved rows go to"}}});
Registration category({"category", "category create NAME | rename NAME NEWNAME | delete NAME",
                       Category, "create, rename and delete categories"});
Registration edit({"edit",
                   "edit KEY [--artist \"LAST, FIRST\"] [--category NAME] [--title TEXT]",
                   Edit,
                   "change a title's artist, category or title text",
                   {{"--artist \"LAST, FIRST\"", "the new artist"},
                    {"--category NAME", "the new category"},
                    {"--title TEXT", "the new title text"}}});

} // namespace

} // namespace tunquil::ctl
