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
    if (closed_ || !IsOpen())
        return;
    closed_ = true;
    auto step = [&](const char* what, auto&& action) {
        try {
            action();
        } catch (const std::exception& e) {
            host_.ShowMessage(std::string(what) + e.what(), TMsgDlgType::mtError, 0, mbOK);
        }
    };
    step("Saving albums: ", [&] { albums_.Save(); });
    step("Saving categories: ", [&] { categories_.Purge(); });
    step("Closing the database: ", [&] { data_->Close(); });
}

} // namespace tunquil
