#pragma once
// A main window for one command part alone: a real library in `home`, its views and importer,
// a selection and tab captions that the test sets, and a lock that counts.

#include "app/MainWindowSettings.h"
#include "app/SingleInstance.h"
#include "app/TunquilSettings.h"
#include "database/TMusicLibrary.h"
#include "database/TTitleViews.h"
#include "import/TitleImporter.h"
#include "platform/FakeMessageBus.h"
#include "ui/MasterWindow.h"
#include "ui/WidgetHost.h"

#include <QProgressBar>
#include <QWidget>
#include <map>

namespace tunquil::test {

class FakeMasterWindow : public ui::IMasterWindow {
public:
    explicit FakeMasterWindow(const fs::path& home)
        : home_(home), host_(&widget_), library_(home, host_), progress_(&widget_),
          copy_(bus_, RunningCopy::Callbacks{}) {
        library_.Open();
        views_ = std::make_unique<TTitleViews>(library_.Categories(), &library_.Albums());
        views_->Attach(library_.Database());
        views_->LoadViews(library_.Database());
        importer_ =
            std::make_unique<TitleImporter>(host_, library_.Data(), library_.Categories(), home);
    }
    ~FakeMasterWindow() override { views_.reset(); }

    // What the window shows: the keys of each selection, the tabs' captions.
    std::map<ui::TitleSelection, std::vector<int32_t>> selection;
    ui::SelectionNames names;
    int locks = 0;

    QWidget* Widget() override { return &widget_; }
    ui::WidgetHost& Host() override { return host_; }
    const fs::path& ProgramDirectory() const override { return home_; }
    QProgressBar* ProgressBar() override { return &progress_; }
    void Lock() override { ++locks; }
    void Unlock() override { --locks; }
    bool Locked() const override { return locks > 0; }
    bool StartedUp() const override { return true; }
    bool ClosingDown() const override { return false; }
    void BringToFront() override {}
    TMusicLibrary& Library() override { return library_; }
    TTitleViews* Views() const override { return views_.get(); }
    PlayProgram* Program() const override { return nullptr; }
    TitleImporter* Importer() override { return importer_.get(); }
    RunningCopy& Copy() const override { return copy_; }
    MainWindowSettings& WindowSettings() override { return settings_; }
    TunquilSettings& StartSettings() override { return startSettings_; }
    std::vector<int32_t> SelectionKeys(ui::TitleSelection which) const override {
        auto it = selection.find(which);
        return it == selection.end() ? std::vector<int32_t>{} : it->second;
    }
    bool AlbumSideCurrent() const override { return false; }
    ui::SelectionNames Names() const override { return names; }
    int32_t ActiveCategoryKey() const override { return 0; }
    int32_t SelectedAlbumKey() const override { return 0; }
    int32_t AlbumKeyOf(const ui::TMyStringGrid*) const override { return 0; }
    ui::TMyStringGrid* ActiveAlbumGrid() const override { return nullptr; }
    ui::KeyboardArea FocusArea(ui::TMyStringGrid**) const override {
        return ui::KeyboardArea::Other;
    }
    void ClearAlbumSelection() override {}
    void RefreshTransport() override {}
    void UpdateMenus() override {}
    void SetViewsEnabled(bool) override {}
    void AutoLoopingChanged(bool) override {}
    void MailTitles(const std::vector<int32_t>&) override {}

private:
    fs::path home_;
    QWidget widget_;
    ui::WidgetHost host_;
    TMusicLibrary library_;
    QProgressBar progress_;
    std::unique_ptr<TTitleViews> views_;
    std::unique_ptr<TitleImporter> importer_;
    platform::FakeMessageBus bus_;
    mutable RunningCopy copy_;
    MainWindowSettings settings_;
    TunquilSettings startSettings_;
};

} // namespace tunquil::test
