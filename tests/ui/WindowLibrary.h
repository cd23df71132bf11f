#pragma once
// The main window's tests start it over a small library of their own, written with the
// program's own operations and closed before the window opens it.

#include "app/TestTunes.h"
#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "ui/TunquilApp.h"
#include "ui/app/TMasterFrm.h"

#include <gtest/gtest.h>

namespace tunquil::test {

// The library of `home`, open for writing; everything is saved and closed when it goes.
struct LibraryWriter {
    ScriptedHost host;
    TCatList categories;
    TDMM2 data;
    TAlbList albums;

    explicit LibraryWriter(const std::filesystem::path& home)
        : categories(home), data(home, host), albums(home) {
        categories.Load();
        data.SetCategoryList(&categories);
        data.OpenDatabase();
        categories.SetDatabase(&data.Database());
        data.SetAlbumList(&albums);
        albums.Load();
    }
    ~LibraryWriter() {
        albums.Save();
        categories.Save();
        data.Close();
    }

    // Three stored one-note tunes, "Charlie", "alpha" and "Bravo" in that order of keys.
    std::vector<int32_t> AddThreeTitles() {
        std::vector<int32_t> keys;
        for (const char* name : {"Charlie", "alpha", "Bravo"})
            keys.push_back(AddStoredTitle(data, categories, name, OneNoteTune(900, 60)));
        return keys;
    }
};

// The main window over `home`, shown at 900 x 600 pixels.
inline std::unique_ptr<ui::TMasterFrm>
StartShownWindow(const std::filesystem::path& home,
                 std::unique_ptr<platform::ISequencerDevice> device) {
    std::string error;
    auto window = ui::StartMainWindow(home.string(), error, std::move(device));
    EXPECT_TRUE(window) << error;
    if (window) {
        window->resize(900, 600);
        window->show();
    }
    return window;
}

} // namespace tunquil::test
