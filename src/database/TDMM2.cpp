#include "database/TDMM2.h"

#include "base/Text.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"

namespace tunquil {

TDMM2::TDMM2(fs::path programDirectory, IHost& host)
    : programDirectory_(std::move(programDirectory)), host_(host), db_(host),
      performers_(programDirectory_) {
    performers_.SetDatabase(&db_);
    performers_.Load("Artists");
}

void TDMM2::OpenDatabase() {
    db_.Open(programDirectory_ / "Music");
}

void TDMM2::SetAlbumList(TAlbList* albums) {
    albums_ = albums;
    db_.SetAlbumList(albums);
    if (albums)
        albums->SetDatabase(&db_);
}

int32_t TDMM2::AddTitle(const fs::path& storedDataPath, const std::string& title, bool batch,
                        double dateObtained, int32_t seconds, int32_t pk, int32_t ck,
                        const std::string& origin) {
    TitleRecord record;
    record.ck = ck;
    record.pk = pk;
    record.categoryName =
        CutUtf8(categories_ ? categories_->NameOf(ck) : std::string(), kCategoryNameCopyCapacity);
    std::string first, last;
    performers_.NamesOf(pk, first, last);
    record.firstName = CutUtf8(first, kNameCopyCapacity);
    record.lastName = CutUtf8(last, kNameCopyCapacity);
    record.artist = CutUtf8(JoinFullName(record.firstName, record.lastName), kArtistCapacity);
    record.title = CutUtf8(Trim(WithoutControlCharacters(title)), kTitleCapacity);
    record.origin = CutUtf8(Trim(origin), kOriginCapacity);
    record.duration = seconds;
    record.durationText = DurationText(seconds);
    record.dateObtained = dateObtained;
    int32_t key = db_.AppendTitle(record, storedDataPath);
    db_.ReadRecordByKey(key, record);
    db_.Announce([&](IDatabaseObserver& o) { o.TitleAdded(record, batch); });
    return key;
}

bool TDMM2::UpdateTitleInfo(int32_t masterKey, bool batch, int32_t pk, int32_t ck,
                            const std::string& title) {
    int slot = db_.FindSlot(masterKey);
    TitleRecord before;
    if (!db_.ReadRecord(slot, before))
        return false;
    // Copies and texts that stay as they are keep their stored form (see CutForField).
    std::string category = CutForField(categories_ ? categories_->NameOf(ck) : std::string(),
                                       before.categoryName, kCategoryNameCopyCapacity);
    if (category.empty()) {
        host_.ShowMessage("New category for CK = " + std::to_string(ck) + " not found",
                          TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    std::string first, last;
    performers_.NamesOf(pk, first, last);
    first = CutForField(first, before.firstName, kNameCopyCapacity);
    last = CutForField(last, before.lastName, kNameCopyCapacity);
    std::string artist = CutForField(JoinFullName(first, last), before.artist, kArtistCapacity);
    if (artist.empty()) {
        host_.ShowMessage("New performer for PK = " + std::to_string(pk) + " not found",
                          TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    TitleRecord after = before;
    after.categoryName = category;
    after.firstName = first;
    after.lastName = last;
    after.artist = artist;
    // A title left as it was keeps its stored bytes; a new text loses its control characters.
    after.title = CutForField(title == before.title ? title : WithoutControlCharacters(title),
                              before.title, kTitleCapacity);
    after.ck = ck;
    after.pk = pk;
    db_.WriteRecord(after, slot);
    db_.ReadRecord(slot, after);
    db_.Announce([&](IDatabaseObserver& o) { o.TitleChanged(before, after, !batch); });
    return true;
}

bool TDMM2::DeleteTitle(int32_t masterKey) {
    return DeleteTitlesEverywhere({masterKey}) == 1;
}

int TDMM2::DeleteTitlesEverywhere(const std::vector<int32_t>& masterKeys,
                                  std::vector<std::string>* failures) {
    std::vector<TitleRecord> records;
    std::vector<int32_t> live;
    std::vector<std::string> failed;
    for (int32_t key : masterKeys) {
        TitleRecord r;
        if (!db_.ReadRecordByKey(key, r))
            continue;
        try {
            if (db_.DeleteTitles({key}) == 0)
                continue;
        } catch (const std::exception& e) {
            failed.push_back(TitleFailure(r, e));
            continue;
        }
        records.push_back(r);
        live.push_back(key);
    }
    if (albums_)
        albums_->RemoveTitlesFromAllAlbums(live);
    if (!records.empty())
        db_.Announce([&](IDatabaseObserver& o) { o.TitlesDeleted(records); });
    if (!failed.empty()) {
        if (!failures)
            throw DatabaseError(DescribeDeleteFailures(failed));
        failures->insert(failures->end(), failed.begin(), failed.end());
    }
    return static_cast<int>(live.size());
}

void TDMM2::Close() {
    closing_ = true;
    // Each step runs even when the one before failed; a failure is shown, not hidden.
    RunShowingFailure(host_, "Saving artists: ", [&] { performers_.Purge(); }); // saves the list
    RunShowingFailure(host_, "Packing database: ", [&] {
        lastPack_ = {};
        lastPack_.packed = db_.Pack(lastPack_.deleted, lastPack_.kept);
    });
    db_.Close();
}

} // namespace tunquil
