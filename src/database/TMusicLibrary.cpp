#include "database/TMusicLibrary.h"

namespace tunquil {

TMusicLibrary::TMusicLibrary(fs::path programDirectory, IHost& host)
    : programDirectory_(std::move(programDirectory)), host_(host), categories_(programDirectory_),
      albums_(programDirectory_) {}

TMusicLibrary::~TMusicLibrary() {
    if (IsOpen())
        Close();
}

void TMusicLibrary::OpenDatabase() {
    categories_.Load("Categories");
    data_ = std::make_unique<TDMM2>(programDirectory_, host_);
    data_->SetCategoryList(&categories_);
    data_->OpenDatabase();
    categories_.SetDatabase(&data_->Database());
    categories_.SetAlbumList(&albums_);
    data_->SetAlbumList(&albums_);
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
    // Albums that were not loaded (a failure, reported then) have nothing to save, and an
    // empty list saved would stand in for the files.
    if (albums_.Loaded())
        RunShowingFailure(host_, "Saving albums: ", [&] { albums_.Save(); });
    RunShowingFailure(host_, "Saving categories: ", [&] { categories_.Purge(); });
    RunShowingFailure(host_, "Closing the database: ", [&] { data_->Close(); });
}

} // namespace tunquil
