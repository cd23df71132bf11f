// The main window's sound commands: the program and mixer windows, the SoundFont, and the
// desktop's media controls.

#include "app/PlayProgram.h"
#include "app/SoundFontChoice.h"
#include "base/IniFile.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/SystemMixer.h"
#include "ui/app/MprisService.h"
#include "ui/app/TMasterFrm.h"
#include "ui/app/TViewProgFrm.h"
#include "ui/midi/TMixerFrm2.h"

#include <QFileDialog>

namespace tunquil::ui {

void TMasterFrm::ShowProgramView() {
    if (!program_ || !library_.DataModule())
        return;
    if (!programView_) {
        programView_ = new TViewProgFrm(
            *program_,
            [this](int key, TitleRecord& record) {
                return library_.DataModule() && library_.Database().ReadRecordByKey(key, record);
            },
            this);
    }
    programView_->ViewBeside(this);
}

void TMasterFrm::ShowMixer() {
    if (!mixerWindow_) {
        mixerDevice_ = std::make_unique<platform::SystemMixer>(synthesizerMix_);
        mixerWindow_ = new TMixerFrm2(*mixerDevice_, this);
    }
    QString problem = ShowMixerOrFallback(*mixerWindow_);
    if (!problem.isEmpty())
        host_.ShowMessage(problem.toStdString(), TMsgDlgType::mtError, 0, mbOK);
}

void TMasterFrm::ChooseSoundFont() {
    QString file =
        QFileDialog::getOpenFileName(this, "SoundFont", QString(), "SoundFonts (*.sf2 *.sf3)");
    if (file.isEmpty())
        return;
    RunShowingFailure(host_, "", [&] {
        IniFile ini(programDirectory_ / "Tunquil.ini");
        // The synthesizer takes the new SoundFont at once; another device (a test's) has none.
        auto* synthesizer = dynamic_cast<platform::FluidSynthSequencer*>(device_.get());
        tunquil::ChooseSoundFont(host_, ini, file.toStdString(),
                                 [synthesizer](const std::string& path) {
                                     return synthesizer ? synthesizer->ChangeSoundFont(path) : 0u;
                                 });
    });
}

void TMasterFrm::ProgramChanged() {
    RefreshTransport();
    if (programView_ && programView_->isVisible())
        programView_->Refresh();
    if (mediaControls_)
        mediaControls_->Changed();
}

void TMasterFrm::StartMediaControls() {
    if (mediaControls_ || !program_)
        return;
    auto* controls = new MprisService(*program_, this);
    // Without a session bus (or with another copy's name on it) there are no media keys; the
    // window works the same.
    if (controls->Register())
        mediaControls_ = controls;
    else
        delete controls;
}

} // namespace tunquil::ui
