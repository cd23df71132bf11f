#include "ui/app/TMasterFrm.h"

#include "app/DatabaseTitleStore.h"
#include "app/PlayProgram.h"
#include "app/TMyMidiPlayer.h"
#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "import/TitleImporter.h"
#include "midi/ResetTunes.h"
#include "midi/TMyMidi.h"
#include "platform/FakeMessageBus.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiPortSequencer.h"
#include "platform/OutputChoice.h"
#include "platform/SynthesizerMix.h"
#include "ui/app/DatabaseArea.h"
#include "ui/app/HelpAndHints.h"
#include "ui/app/LibraryTabs.h"
#include "ui/app/MasterLayout.h"
#include "ui/app/MasterMenus.h"
#include "ui/app/MasterStatusBar.h"
#include "ui/app/MusicControls.h"
#include "ui/app/ScreenPlacement.h"
#include "ui/app/TSplashFrm.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TDropButton.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/database/EditCommands.h"
#include "ui/export/ExportCommands.h"
#include "ui/import/ImportCommands.h"
#include "ui/integration/DesktopCommands.h"
#include "ui/midi/SoundCommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

// The built-in synthesizer, and the MIDI output the user chose when it is another.
std::unique_ptr<platform::ISequencerDevice>
DefaultDevice(const fs::path& programDirectory, std::shared_ptr<platform::SynthesizerMix> mix) {
    platform::FluidSynthSequencerOptions options;
    options.mix = mix;
    std::string output;
    try {
        IniFile ini(programDirectory / "Tunquil.ini");
        options.soundFontSetting = ini.ReadString("Sound", "SoundFont", "");
        output = ini.ReadString("Sound", "MidiOutput", "");
    } catch (const std::exception&) {
        // An unreadable settings file only costs the SoundFont choice; start-up reports it.
    }
    auto choice = std::make_unique<platform::OutputChoice>(
        std::make_unique<platform::FluidSynthSequencer>(options),
        [mix](const std::string& name) -> std::unique_ptr<platform::ClockedSequencer> {
            platform::MidiPortSequencerOptions portOptions;
            if (!platform::FindMidiOutputPort(name, portOptions.port))
                return nullptr;
            portOptions.mix = mix;
            return std::make_unique<platform::MidiPortSequencer>(portOptions);
        });
    choice->Choose(output);
    return choice;
}

} // namespace

TMasterFrm::TMasterFrm(fs::path programDirectory,
                       std::unique_ptr<platform::ISequencerDevice> device, QWidget* parent)
    : QMainWindow(parent), programDirectory_(std::move(programDirectory)), host_(this),
      library_(programDirectory_, host_),
      synthesizerMix_(std::make_shared<platform::SynthesizerMix>()),
      device_(device ? std::move(device) : DefaultDevice(programDirectory_, synthesizerMix_)),
      midi_(std::make_unique<TMyMidi>(*device_)), player_(std::make_unique<TMyMidiPlayer>(*midi_)) {
    setObjectName("TMasterFrm");
    setWindowTitle("Tunquil");
    setAccessibleName("Tunquil");
    scale_ = std::max(1.0, logicalDpiX() / 96.0);
    setMinimumSize(Px(kMinWindowWidth), Px(kMinWindowHeight));
    SetHint(this, "Tunquil", 1000);
    edit_ = std::make_unique<EditCommands>(*this);
    import_ = std::make_unique<ImportCommands>(*this);
    export_ = std::make_unique<ExportCommands>(*this);
    sound_ = std::make_unique<SoundCommands>(*this, *device_, synthesizerMix_);
    if (auto* choice = dynamic_cast<platform::OutputChoice*>(device_.get())) {
        // A chosen port that is missing or went away: the built-in synthesizer plays on, and
        // the notice and the status bar say so.
        choice->onPortUnavailable = [this](const std::string& output, const std::string& why) {
            host_.Status("MIDI output \"" + output +
                         "\" unavailable: playing on the built-in synthesizer");
            host_.ShowDeviceUnavailable("The MIDI output \"" + output + "\" is not available. " +
                                        why + " The built-in synthesizer plays meanwhile.");
        };
    }
    desktop_ = std::make_unique<DesktopCommands>(*this);

    auto* central = new QWidget(this);
    central->setObjectName("central");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    top_ = new MusicControls(scale_, this);
    top_->onToggleToolbar = [this] { ToggleToolbar(); };
    sound_->AttachTransport(top_->Controls());
    BuildDatabaseArea();
    layout->addWidget(top_);
    layout->addWidget(area_, 1);
    auto* status = new MasterStatusBar(scale_, this);
    setStatusBar(status);
    hintPanel_ = status->HintPanel();
    progress_ = status->Progress();
    host_.SetStatusWidgets(hintPanel_, progress_);
    menus_ = std::make_unique<MasterMenus>(*this);
    menus_->Build();
    top_->ShowToolbarState(settings_.showTools);
    help_ = std::make_unique<HelpAndHints>(this, [this] { return settings_.showAllHints; });
    setAcceptDrops(true); // files and folders from the desktop
    // Most commands wait for the database (unlocked at the end of start-up).
    Lock();
    RefreshTransport();
    AdoptRunningCopy(nullptr);
}

TMasterFrm::~TMasterFrm() {
    help_.reset();
    // The sound windows hold the program and the mixer device, which go before the children do.
    sound_.reset();
    if (program_ && library_.DataModule())
        library_.Database().RemoveObserver(program_.get());
    tabs_->TakeDown();
    views_.reset();
    host_.SetPositionTick(nullptr);
    host_.PositionTimer(false);
    // The children still signal while they go; the menus they would update are gone with them.
    menus_.reset();
}

int TMasterFrm::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

// ------------------------------------------------------------------ the database area

void TMasterFrm::BuildDatabaseArea() {
    // The toolbar's buttons and the drop targets end in the parts' commands.
    area_ = new DatabaseArea(scale_, settings_, this);
    const DatabaseToolbar& t = area_->Toolbar();
    auto [NewAlb, LoadFiles, DriveScan, GetLocal, EditCat, MailTitle, Archive, ExportTitle,
          PrintCat, TrashCat] = t;
    connect(NewAlb, &QToolButton::clicked, edit_.get(), &EditCommands::CreateAlbum);
    connect(LoadFiles, &QToolButton::clicked, import_.get(), &ImportCommands::OpenLocalFiles);
    connect(DriveScan, &QToolButton::clicked, import_.get(), &ImportCommands::ScanDrive);
    connect(GetLocal, &QToolButton::clicked, import_.get(), &ImportCommands::ScanSystem);
    auto drop = [](auto* part, auto command, auto... how) {
        return [=](const DraggedTitles& titles) { return (part->*command)(how..., titles); };
    };
    dropCommands_ = {
        {EditCat, drop(edit_.get(), &EditCommands::DropOnEditOrTrash, true)},
        {TrashCat, drop(edit_.get(), &EditCommands::DropOnEditOrTrash, false)},
        {top_->AddButton(), drop(sound_.get(), &SoundCommands::DropToPlay, false)},
        {top_->AddPlayButton(), drop(sound_.get(), &SoundCommands::DropToPlay, true)},
        {MailTitle, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Mail)},
        {ExportTitle, drop(export_.get(), &ExportCommands::Drop, TitleFeature::SaveToDisk)},
        {Archive, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Archive)},
        {PrintCat, drop(export_.get(), &ExportCommands::Drop, TitleFeature::Print)},
    };
    export_->SetPrintButton(PrintCat);
    // Drop-only buttons and the add buttons: a click shows the button's help (Edit's says how
    // to use it).
    for (TDropButton* b : {EditCat, MailTitle, Archive, ExportTitle, PrintCat, TrashCat,
                           top_->AddButton(), top_->AddPlayButton()}) {
        b->accepting = [this] { return !Locked(); };
        b->onDrop = [this, b](const DraggedTitles& titles) { return DropTitles(b, titles); };
        if (b == EditCat)
            connect(b, &QToolButton::clicked, edit_.get(), &EditCommands::ShowEditButtonInfo);
        else
            connect(b, &QToolButton::clicked, this, [b] {
                THelpWindow::ShowPopup(b->property("helpContext").toInt(), QCursor::pos(), b);
            });
    }

    tabs_ =
        std::make_unique<LibraryTabs>(*this, area_->AlbumPanel(), area_->CategoryPanel(), scale_);

    tabs_->AttachFindField(area_->FindField());
}

void TMasterFrm::LayOutDatabaseArea() {
    if (area_)
        area_->LayOut();
}

void TMasterFrm::ToggleToolbar() {
    settings_.showTools = !settings_.showTools;
    ApplySettingsToMenus();
    LayOutDatabaseArea();
}

void TMasterFrm::resizeEvent(QResizeEvent* event) {
    int w = qRound(width() / scale_), h = qRound(height() / scale_);
    ClampWindowSize(w, h);
    if (Px(w) != width() || Px(h) != height()) {
        resize(Px(w), Px(h));
        return;
    }
    QMainWindow::resizeEvent(event);
    LayOutDatabaseArea();
}

bool TMasterFrm::DropTitles(QWidget* target, const DraggedTitles& titles) {
    if (Locked() || titles.source == SelectionSource::None || !program_)
        return false;
    auto command = dropCommands_.find(target);
    return command != dropCommands_.end() && command->second(titles);
}

// ------------------------------------------------------------------ hints and help cursor

bool TMasterFrm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The status bar's hint panel shows the long hint of the control under the mouse.
        if (isActiveWindow() || QApplication::activeWindow() == nullptr)
            hintPanel_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMasterFrm::SetHelpCursor(bool on) {
    help_->SetOn(on);
}

bool TMasterFrm::HelpCursor() const {
    return help_->On();
}

// ------------------------------------------------------------------ lock

void TMasterFrm::Lock() {
    if (lockDepth_++ == 0)
        ApplyLock();
}

void TMasterFrm::Unlock() {
    if (lockDepth_ > 0 && --lockDepth_ == 0)
        ApplyLock();
}

void TMasterFrm::ApplyLock() {
    const bool locked = Locked();
    const DatabaseToolbar& t = area_->Toolbar();
    for (QWidget* w :
         std::initializer_list<QWidget*>{t.newAlbum, t.systemScan, t.load, t.driveScan})
        w->setEnabled(!locked);
    menus_->ApplyLock(locked);
    // Drop targets refuse drops while locked: the album list and the grids too.
    tabs_->AlbumList()->setAcceptDrops(!locked);
    if (locked)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    UpdateMenus();
    RefreshTransport();
}

// ------------------------------------------------------------------ start-up and shut-down

void TMasterFrm::ApplySavedSettings() {
    settingsApplied_ = true;
    try {
        startSettings_ = TunquilSettings::ReadAtStartUp(programDirectory_);
        settings_ = MainWindowSettings::Read(IniFile(SettingsPath(programDirectory_)));
    } catch (const std::exception& e) {
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
    }
    if (!isMaximized()) {
        QRect saved(settings_.left, settings_.top, std::max(settings_.width, kMinWindowWidth),
                    std::max(settings_.height, kMinWindowHeight));
        if (!settings_.sizeStored)
            saved = SizedForScreen(screen()->availableGeometry(),
                                   QSize(Px(kMinWindowWidth), Px(kMinWindowHeight)));
        setGeometry(ClampToScreens(saved, AvailableScreenAreas()));
    }
    // Maximised as it was left; the bounds above are where it goes when restored.
    if (settings_.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    auto side = [](int value) { return static_cast<uint32_t>(std::clamp(value, 0, 65535)); };
    synthesizerMix_->SetVolume(side(settings_.synthLeft), side(settings_.synthRight));
    synthesizerMix_->SetMuted(settings_.synthMuted);
    tabs_->RestoreTabColours(settings_);
    ApplySettingsToMenus();
    LayOutDatabaseArea();
}

void TMasterFrm::StartUp() {
    CommandLock lock(*this);
    if (!settingsApplied_)
        ApplySavedSettings();

    library_.OpenDatabase();
    TMyDB& db = library_.Database();

    views_ = std::make_unique<TTitleViews>(library_.Categories(), &library_.Albums());
    tabs_->ShowTitles(*views_);
    views_->Attach(db);

    views_->LoadViews(db, &host_);
    tabs_->FitColumns();

    library_.LoadAlbums();
    views_->AlbumsLoaded();
    tabs_->AlbumViewsChanged();
    ShowAlbumTabs(settings_.showAlbTabs);
    ShowCategoryTabs(settings_.showCatTabs);
    tabs_->RestoreState(settings_);

    store_ = std::make_unique<DatabaseTitleStore>(library_.Data());
    program_ = std::make_unique<PlayProgram>(host_, *player_, *store_, RealPlayTools(host_),
                                             programDirectory_);
    auto bytes = [](const char* name) {
        auto data = ResetTuneBytes(name);
        return std::string(data.begin(), data.end());
    };
    program_->SetResetData(bytes("GMRESET"), bytes("GSRESET"));
    program_->SetAutoLooping(settings_.autoLooping);
    program_->SetResetChoice(settings_.reset);
    program_->SetResetWait(settings_.resetWaitMs);
    program_->onChanged = [this] { sound_->ProgramChanged(); };
    sound_->ProgramStarted();
    db.AddObserver(program_.get());
    top_->Controls().panel->AttachPlayer(
        program_->Panel(), [this] { return program_->ShownMode(); },
        [this] { return midi_->Busy(); });
    top_->Controls().panel->Render(program_->Panel());
    startedUp_ = true;
    Unlock(); // the lock taken when the window was made
    // A remembered MIDI output that is not there is said at once, not at the first title.
    if (auto* choice = dynamic_cast<platform::OutputChoice*>(device_.get()))
        choice->LookForChosenPort();
    tabs_->AllTitlesGrid()->setFocus();
    top_->Controls().panel->EnableFlashing();
}

void TMasterFrm::AdoptRunningCopy(std::unique_ptr<RunningCopy> copy) {
    if (!copy) {
        privateBus_ = std::make_unique<platform::FakeMessageBus>();
        copy = std::make_unique<RunningCopy>(*privateBus_, RunningCopy::Callbacks{});
        copy->Register();
    }
    copy_ = std::move(copy);
    closing_ = std::make_unique<ShutDownSequence>(host_, *copy_);
    // Each only schedules: the sender is answered before anything is carried out, so a dialog
    // that happens to be open never holds up a second start.
    copy_->SetCallbacks({
        .commandsArrived = [this] { desktop_->RunCommands(); },
        .pluginRequestArrived = [this] { desktop_->RunCommands(); },
        .bringToFront = [this] { QTimer::singleShot(0, this, &TMasterFrm::BringToFront); },
        .setPosition =
            [this](int thousandths) {
                if (program_ && startedUp_ && program_->SafeMode() == 2)
                    program_->SetPositionPerMille(thousandths);
            },
        .showMixer = [this] { QTimer::singleShot(0, sound_.get(), &SoundCommands::ShowMixer); },
    });
}

void TMasterFrm::SetStartArguments(std::vector<std::string> arguments) {
    startArguments_ = std::move(arguments);
}

void TMasterFrm::BringToFront() {
    // The splash would otherwise stay on top of the window the user asked for.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* splash = qobject_cast<TSplashFrm*>(w))
            splash->close();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMasterFrm::EndSession() {
    closing_->SetNoConfirmation();
    close();
}

void TMasterFrm::DeferredStartUp() {
    try {
        StartUp();
    } catch (const std::exception& e) {
        // Without its database the program has nothing to offer.
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
        QCoreApplication::exit(1);
        return;
    }
    importer_ = std::make_unique<TitleImporter>(host_, *library_.DataModule(),
                                                library_.Categories(), programDirectory_);
    importer_->shuttingDown = [this] { return copy_->ShuttingDown(); };
    program_->onPositionPerMille = [this](int perMille) {
        copy_->TellPlugin(kTrackBarPerc, perMille);
    };
    copy_->SetStartUpComplete(true);
    program_->SetStartupComplete(true);
    desktop_->StartUp(!startArguments_.empty());
    // A plug-in request that came during start-up goes first; otherwise the first argument.
    // Hand-overs that came during start-up follow this start's own first argument.
    std::vector<std::string> handedOver = copy_->TakeCommands();
    if (!copy_->HasPluginRequest() && !startArguments_.empty())
        copy_->Queue({startArguments_.front()});
    copy_->Queue(std::move(handedOver));
    desktop_->RunCommands();
    if (startArguments_.empty())
        QTimer::singleShot(0, this, &TMasterFrm::OfferScan);
}

void TMasterFrm::OfferScan() {
    if (shutDown_ || copy_->CommandHandled() || !settings_.remindToScan ||
        startSettings_.fullScanDone)
        return;
    if (host_.ShowMessage("Scan your system to find all MIDI files (recommended)?\\n",
                          TMsgDlgType::mtConfirmation, 201,
                          mbYes | mbNo | mbHelp) == TModalResult::mrYes) {
        repaint();
        import_->ScanSystem();
    }
}

// The window's part in each step of closing.
struct TMasterFrm::ClosingSteps : IShutDownSteps {
    TMasterFrm& w;
    explicit ClosingSteps(TMasterFrm& window) : w(window) {}
    bool PrintJobRunning() override { return w.export_->PrintJobRunning(); }
    void EndPrintJob() override { w.export_->EndPrintJob(); }
    void CloseMail() override { w.export_->CloseMail(); }
    void LockWindow() override {
        w.host_.PositionTimer(false);
        w.Lock();
        w.repaint();
    }
    bool PlayerPlaying() override { return w.program_ && PlayingLike(w.program_->SafeMode()); }
    void StopPlayer() override {
        w.midi_->Stop();
        w.midi_->Close();
    }
    void DeactivateProgram() override {
        w.sound_->KeepProgram();
        if (w.program_) {
            w.program_->SetShuttingDown(true);
            if (w.library_.DataModule())
                w.library_.Database().RemoveObserver(w.program_.get());
        }
    }
    // The library saves the albums, purges the categories and closes the database, in order.
    void CloseDatabase() override { w.library_.Close(); }
    void WriteSettings() override {
        IniFile ini(SettingsPath(w.programDirectory_));
        MainWindowSettings& settings = w.settings_;
        if (!w.isMaximized()) {
            QRect r = w.geometry();
            settings.left = r.left();
            settings.top = r.top();
            settings.width = r.width();
            settings.height = r.height();
        }
        settings.maximized = w.isMaximized();
        w.tabs_->SaveState(settings);
        settings.synthLeft = static_cast<int>(w.synthesizerMix_->Left());
        settings.synthRight = static_cast<int>(w.synthesizerMix_->Right());
        settings.synthMuted = w.synthesizerMix_->Muted();
        settings.Write(ini, w.isMaximized());
        w.startSettings_.Write(ini);
        ini.UpdateFile();
    }
    void ReleaseProgram() override {}
    void DeleteInternalPlayFile() override {
        if (w.program_)
            fs::remove(w.program_->InternalPlayFile());
    }
    void QuitHelp() override { THelpWindow::Quit(); }
    void RestorePlugins() override { w.desktop_->ShutDown(); }
    void Closed() override {
        w.statusBar()->showMessage("Closing down . . . .");
        w.copy_->Unregister(); // no window of ours is left for a sender to find
    }
};

void TMasterFrm::ShutDown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    ClosingSteps steps(*this);
    closing_->Run(steps);
}

void TMasterFrm::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && startedUp_ && !closing_->MayClose(settings_.confirmBeforeExit)) {
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
}

// ------------------------------------------------------------------ views and selection

void TMasterFrm::MakeSideCurrent(bool albums) {
    if (albumSide_ != albums) {
        albumSide_ = albums;
        UpdateMenus();
    }
}

void TMasterFrm::ShowAlbumTabs(bool show) {
    settings_.showAlbTabs = show;
    tabs_->AlbumsTabs()->ShowTabsAfterFirst(show);
    ApplySettingsToMenus();
}

void TMasterFrm::ShowCategoryTabs(bool show) {
    settings_.showCatTabs = show;
    tabs_->CategoriesTabs()->ShowTabsAfterFirst(show);
    ApplySettingsToMenus();
}

void TMasterFrm::SetTabColours(const QColor& background, const QColor& font) {
    tabs_->SetTabColours(background, font, settings_);
}

// ------------------------------------------------------------------ for the parts

QAction* TMasterFrm::MenuItem(const QStringList& captions) const {
    return menus_->Find(captions);
}

void TMasterFrm::UpdateMenus() {
    if (menus_)
        menus_->Update();
}

void TMasterFrm::ApplySettingsToMenus() {
    menus_->ApplySettings();
    top_->ShowToolbarState(settings_.showTools);
}

void TMasterFrm::RefreshTransport() {
    if (sound_)
        sound_->Refresh();
}

QWidget* TMasterFrm::AlbumPanel() const {
    return area_->AlbumPanel();
}

QWidget* TMasterFrm::CategoryPanel() const {
    return area_->CategoryPanel();
}

TCDPanelP* TMasterFrm::NowPlayingPanel() const {
    return top_->Controls().panel;
}

QSlider* TMasterFrm::TrackBar() const {
    return top_->Controls().trackBar;
}

QMenu* TMasterFrm::PlayPopupMenu() const {
    return sound_->PlayPopup();
}

void TMasterFrm::SetViewsEnabled(bool enabled) {
    tabs_->CategoriesTabs()->setEnabled(enabled);
    tabs_->AlbumsTabs()->setEnabled(enabled);
}

void TMasterFrm::AutoLoopingChanged(bool on) {
    settings_.autoLooping = on;
    sound_->ShowLooping(on);
}

void TMasterFrm::MailTitles(const std::vector<int32_t>& keys) {
    export_->MailTitles(keys);
}

void TMasterFrm::dragEnterEvent(QDragEnterEvent* event) {
    import_->AcceptsDrop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void TMasterFrm::dragMoveEvent(QDragMoveEvent* event) {
    import_->AcceptsDrop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void TMasterFrm::dropEvent(QDropEvent* event) {
    import_->Drop(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

} // namespace tunquil::ui
