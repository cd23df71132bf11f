// tunquilctl's database commands: list, delete, pack, categories, artists, albums, verify.
// Each opens the database in the program directory, works, and closes it as the program does
// at shut-down (albums saved, unused categories and artists purged, packed after deletes).

#include "ctl/CtlLibrary.h"
#include "database/StoredDate.h"
#include "database/TitleOrder.h"
#include "database/TitleSearch.h"
#include "export/archive/StoredTune.h"
#include "export/archive/ZipError.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <memory>
#include <ostream>
#include <zip.h>

namespace tunquil::ctl {

namespace {

// A field of a tab-separated line: tabs and line breaks would split it.
std::string TsvField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::string Pad(const std::string& text, std::size_t width) {
    // Width in characters, not bytes: continuation bytes take no column.
    std::size_t chars = 0;
    for (unsigned char c : text)
        chars += (c & 0xC0) != 0x80;
    return chars >= width ? text : text + std::string(width - chars, ' ');
}

int List(Context& ctx) {
    bool tsv = TakeFlag(ctx.args, "--tsv");
    std::optional<TitleSortMode> mode;
    if (auto sort = TakeOption(ctx.args, "--sort")) {
        mode = ParseTitleSortMode(*sort);
        if (!mode)
            throw UsageError("unknown sort mode " + *sort);
    }
    SearchQuery query(TakeOption(ctx.args, "--find").value_or(""));
    RejectArguments(ctx.args);
    auto s = CtlLibrary::OpenForReading(ctx);
    if (!s)
        return kUsage;
    std::vector<TitleRecord> titles = s->db().LiveTitles();
    std::erase_if(titles, [&](const TitleRecord& t) { return !TitleMatches(RowOf(t), query); });
    if (mode)
        std::stable_sort(titles.begin(), titles.end(), [&](const auto& a, const auto& b) {
            return CompareTitles(*mode, SortFieldsOf(a), SortFieldsOf(b)) < 0;
        });
    if (tsv) {
        ctx.out << "key\tcategory\tartist\ttitle\tduration\tduration_text\torigin\tdate_obtained\n";
        for (const auto& t : titles)
            ctx.out << t.masterKey << '\t' << TsvField(t.categoryName) << '\t' << TsvField(t.artist)
                    << '\t' << TsvField(t.title) << '\t' << t.duration << '\t'
                    << TsvField(t.durationText) << '\t' << TsvField(t.origin) << '\t'
                    << FormatStoredDateIso(t.dateObtained) << '\n';
    } else {
        for (const auto& t : titles)
            ctx.out << std::setw(7) << t.masterKey << "  " << Pad(t.categoryName, 20) << "  "
                    << Pad(t.artist, 30) << "  " << Pad(t.title, 40) << "  " << std::setw(8)
                    << DurationText(t.duration) << '\n';
        ctx.out << titles.size() << (titles.size() == 1 ? " title\n" : " titles\n");
    }
    return s->Finish(kOk);
}

int Delete(Context& ctx) {
    RejectUnknownOptions(ctx.args);
    if (ctx.args.empty())
        throw UsageError("no title key given");
    std::vector<int32_t> keys;
    for (const auto& a : ctx.args)
        keys.push_back(ParseKey(a));
    auto s = CtlLibrary::Open(ctx);
    if (!s)
        return kUsage;
    int status = kOk;
    std::vector<int32_t> live;
    for (int32_t key : keys) {
        if (s->db().FindSlot(key) == 0) {
            ctx.err << "tunquilctl delete: no title has the key " << key << "\n";
            status = kProblems;
        } else if (std::find(live.begin(), live.end(), key) == live.end()) {
            live.push_back(key);
        }
    }
    int deleted = s->data().DeleteTitlesEverywhere(live);
    ctx.out << deleted << (deleted == 1 ? " title deleted\n" : " titles deleted\n");
    return s->Finish(status);
}

int Pack(Context& ctx) {
    RejectArguments(ctx.args);
    auto s = CtlLibrary::Open(ctx);
    if (!s)
        return kUsage;
    bool deletedSlots = s->db().HasDeletedSlots();
    int kept = s->db().SlotCount();
    bool ok = s->Finish(kOk) == kOk;
    const auto& pack = s->data().LastPack();
    if (!deletedSlots)
        ctx.out << "nothing to pack: " << kept << " slots, none deleted\n";
    else if (pack.packed)
        ctx.out << "packed: " << pack.deleted << " deleted, " << pack.kept << " kept\n";
    else
        ok = false;
    return ok ? kOk : kProblems;
}

struct Usage {
    int titles = 0;
    long long seconds = 0;
};

int Categories(Context& ctx) {
    bool tsv = TakeFlag(ctx.args, "--tsv");
    RejectArguments(ctx.args);
    auto s = CtlLibrary::OpenForReading(ctx);
    if (!s)
        return kUsage;
    std::map<int32_t, Usage> used;
    s->db().ForEachLiveTitle([&](const TitleRecord& t) {
        used[t.ck].titles++;
        used[t.ck].seconds += CountedDuration(t.duration);
    });
    if (tsv)
        ctx.out << "ck\tname\ttitles\tduration\n";
    for (const auto& c : s->library().Categories().Items()) {
        Usage u = used[c.ck];
        if (tsv)
            ctx.out << c.ck << '\t' << TsvField(c.name) << '\t' << u.titles << '\t' << u.seconds
                    << '\n';
        else
            ctx.out << std::setw(5) << c.ck << "  " << Pad(c.name, 40) << "  " << std::setw(6)
                    << u.titles << "  " << TimeText(u.seconds) << '\n';
    }
    return s->Finish(kOk);
}

int Artists(Context& ctx) {
    bool tsv = TakeFlag(ctx.args, "--tsv");
    RejectArguments(ctx.args);
    auto s = CtlLibrary::OpenForReading(ctx);
    if (!s)
        return kUsage;
    std::map<int32_t, int> used;
    s->db().ForEachLiveTitle([&](const TitleRecord& t) { used[t.pk]++; });
    if (tsv)
        ctx.out << "pk\tfirst_name\tlast_name\tfull_name\ttitles\n";
    for (const auto& p : s->data().Performers().Items()) {
        if (tsv)
            ctx.out << p.pk << '\t' << TsvField(p.firstName) << '\t' << TsvField(p.lastName) << '\t'
                    << TsvField(p.fullName) << '\t' << used[p.pk] << '\n';
        else
            ctx.out << std::setw(5) << p.pk << "  "
                    << Pad(JoinArtistText(p.firstName, p.lastName), 50) << "  " << std::setw(6)
                    << used[p.pk] << '\n';
    }
    return s->Finish(kOk);
}

int Albums(Context& ctx) {
    bool tsv = TakeFlag(ctx.args, "--tsv");
    std::optional<std::string> only = TakeOption(ctx.args, "--album");
    RejectArguments(ctx.args);
    auto s = CtlLibrary::OpenForReading(ctx);
    if (!s)
        return kUsage;
    if (only) {
        // One album's entries, in the album's own order.
        const auto* album = s->library().Albums().AlbumOf(s->library().Albums().FindByName(*only));
        if (!album)
            throw UsageError("no album named " + *only);
        if (tsv)
            ctx.out << "key\ttitle\tduration\n";
        for (const auto& e : album->entries)
            if (tsv)
                ctx.out << e.masterKey << '\t' << TsvField(e.title) << '\t' << e.duration << '\n';
            else
                ctx.out << std::setw(7) << e.masterKey << "  " << Pad(e.title, 40) << "  "
                        << std::setw(8) << DurationText(e.duration) << '\n';
        return s->Finish(kOk);
    }
    if (tsv)
        ctx.out << "album_key\tname\ttitles\tduration\n";
    std::vector<const TAlbList::Album*> sorted;
    for (const auto& a : s->library().Albums().Items())
        sorted.push_back(&a);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](auto* a, auto* b) { return CompareAlbums(a->record, b->record) < 0; });
    for (const auto* a : sorted) {
        const auto& r = a->record;
        if (tsv)
            ctx.out << r.albumKey << '\t' << TsvField(r.name) << '\t' << r.titleCount << '\t'
                    << r.totalDuration << '\n';
        else
            ctx.out << std::setw(5) << r.albumKey << "  " << Pad(r.name, 40) << "  " << std::setw(6)
                    << r.titleCount << "  " << TimeText(r.totalDuration) << '\n';
    }
    return s->Finish(kOk);
}

// Empty when `bytes` is a ZIP archive with exactly one entry; otherwise what is wrong.
std::string CheckStoredArchive(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) {
        std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        return text;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        std::string text = std::string("not a ZIP archive (") + zip_error_strerror(&error) + ")";
        zip_source_free(source);
        zip_error_fini(&error);
        return text;
    }
    zip_int64_t entries = zip_get_num_entries(archive, 0);
    zip_discard(archive);
    zip_error_fini(&error);
    if (entries != 1)
        return "the archive holds " + std::to_string(entries) + " entries instead of one";
    return {};
}

int Verify(Context& ctx) {
    RejectArguments(ctx.args);
    // Held as the program holds it where it can, so that a record pointing past the data is
    // told as damage; beside the window such a record may be a title being added, and is left
    // out.
    bool inUse = false;
    auto s = CtlLibrary::Open(ctx, &inUse);
    if (!s && inUse)
        s = CtlLibrary::OpenForReading(ctx);
    if (!s)
        return kUsage;
    int problems = 0;
    for (const auto& p : s->db().Problems()) {
        ctx.out << p << '\n';
        ++problems;
    }
    int checked = 0;
    for (const auto& t : s->db().LiveTitles()) {
        ++checked;
        std::string where = "title " + std::to_string(t.masterKey) + " (slot " +
                            std::to_string(s->db().FindSlot(t.masterKey)) + "): ";
        if (!s->db().DataUsable(t)) {
            ctx.out << where << "its data (offset " << t.dataOffset << ", size " << t.dataSize
                    << ") do not lie within the data file of " << s->db().DataFileSize()
                    << " bytes\n";
            ++problems;
            continue;
        }
        std::string bytes;
        if (!s->db().ReadStoredData(t.masterKey, bytes)) {
            ctx.out << where << "its data cannot be read\n";
            ++problems;
            continue;
        }
        std::string wrong = CheckStoredArchive(bytes);
        if (wrong.empty()) {
            // Unpacked the way play and export unpack it, so damaged tune data (a CRC or
            // Deflate error) count here as they would fail there.
            try {
                UnpackStoredTune(std::move(bytes));
            } catch (const EZipError& e) {
                wrong = e.what();
            }
        }
        if (!wrong.empty()) {
            ctx.out << where << wrong << '\n';
            ++problems;
        }
    }
    ctx.out << checked << (checked == 1 ? " title" : " titles") << " checked, " << problems
            << (problems == 1 ? " problem\n" : " problems\n");
    return s->Finish(problems ? kProblems : kOk);
}

const OptionHelp kTsv{"--tsv", "tab-separated values, one line a row, for other programs"};

Registration
    list({"list",
          "list [--tsv] [--sort category|artist|title|duration|origin|date] [--find WORDS]",
          List,
          "list the titles of the database with their keys",
          {kTsv,
           {"--sort KEY", "the order of the list: category, artist, title, duration, origin or "
                          "date"},
           {"--find WORDS", "only the titles whose text holds every one of the words"}}});
Registration del({"delete", "delete KEY...", Delete, "delete titles from the database"});
Registration pack({"pack", "pack", Pack,
                   "pack the database: give back the room that deleted titles took"});
Registration categories({"categories",
                         "categories [--tsv]",
                         Categories,
                         "list the categories with their numbers of titles",
                         {kTsv}});
Registration artists({"artists",
                      "artists [--tsv]",
                      Artists,
                      "list the artists with their numbers of titles",
                      {kTsv}});
Registration albums({"albums",
                     "albums [--tsv] [--album NAME]",
                     Albums,
                     "list the albums, or the titles of one album in its order",
                     {kTsv, {"--album NAME", "the titles of this album, row by row"}}});
Registration verify({"verify", "verify", Verify,
                     "check that every title's stored tune can be read back; exit status 1 "
                     "when one cannot"});

} // namespace

} // namespace tunquil::ctl
