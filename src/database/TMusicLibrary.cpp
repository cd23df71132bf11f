#include "database/TMusicLibrary.h"

#include "base/ProgramDirectory.h"

namespace tunquil {

TMusicLibrary::TMusicLibrary(fs::path programDirectory, IHost& host)
    : programDirectory_(std::move(programDirectory)), host_(host), categories_(programDirectory_),
      albums_(programDirectory_) {}

TMusicLibrary::~TMusicLibrary() {
    if (IsOpen())
        Close();
}

namespace {
const char kSessionLockName[] = "Tunquil.lock";
} // namespace

void TMusicLibrary::OpenDatabase() {
    // Before anything in the directory is read or written: two copies started together on a
    // new directory would otherwise both create the lists and take the database in turns.
    session_ = FileLock(programDirectory_ / kSessionLockName, true);
    categories_.Load("Categories");
    data_ = std::make_unique<TDMM2>(programDirectory_, host_);
    data_->SetCategoryList(&categories_);
    data_->OpenDatabase();
    categories_.SetDatabase(&data_->Database());
    categories_.SetAlbumList(&albums_);
    data_->SetAlbumList(&albums_);
}

void TMusicLibrary::OpenForReading() {
    readOnly_ = true;
    data_ = std::make_unique<TDMM2>(programDirectory_, host_);
    data_->SetCategoryList(&categories_);
    data_->Database().OpenForReading(programDirectory_ / "Music");
    // The lists after the titles: the program saves a new category or artist before the title
    // that uses it, so every title read finds its names. Each list is replaced whole by a
    // rename, so it is read whole.
    data_->Performers().Load("Artists");
    categories_.LoadForReading("Categories");
    categories_.SetDatabase(&data_->Database());
    categories_.SetAlbumList(&albums_);
    data_->SetAlbumList(&albums_);
    albums_.Load("Albums");
}

void TMusicLibrary::LoadAlbums() {
    albums_.Load("Albums");
}

void TMusicLibrary::Open() {
    OpenDatabase();
    LoadAlbums();
}

void TMusicLibrary::Close() {
    if (!IsOpen())
        return;
    if (readOnly_) {
        data_->Database().Close();
        return;
    }
    // Albums that were not loaded (a failure, reported then) have nothing to save, and an
    // empty list saved would stand in for the files.
    if (albums_.Loaded())
        RunShowingFailure(host_, "Saving albums: ", [&] { albums_.Save(); });
    RunShowingFailure(host_, "Saving categories: ", [&] { categories_.Purge(); });
    RunShowingFailure(host_, "Closing the database: ", [&] { data_->Close(); });
    session_.Release();
}

bool IsLibraryFile(const TMyDB& db, const fs::path& programDirectory, const fs::path& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
    const fs::path dbDir = db.Directory(), dir = programDirectory;
    for (const fs::path& own :
         {db.DescriptorPath(), db.DataPath(), dbDir / "InfoTemp.bak", dbDir / "DataTemp.bak",
          dir / "Categories.des", dir / "Artists.des", dir / "Albums_A.des", dir / "Albums_AT.des",
          SettingsPath(dir), dir / kSessionLockName}) {
        if (own.empty())
            continue;
        // equivalent() also catches a hard link; the canonical form a file not made yet.
        if (fs::equivalent(path, own, ec) || canonical == fs::weakly_canonical(own, ec))
            return true;
    }
    return false;
}

} // namespace tunquil
