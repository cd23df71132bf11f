// The main window's sound and desktop commands: the program and mixer windows, the SoundFont,
// the default MIDI player, the browser plug-in and the start at login.

#include "base/IniFile.h"
#include "ui/app/TMasterFrm.h"

#include <QFileDialog>

namespace tunquil::ui {

void TMasterFrm::ShowProgramView() {
    NotAvailable();
}
void TMasterFrm::ShowMixer() {
    NotAvailable();
}
void TMasterFrm::ChooseSoundFont() {
    QString file =
        QFileDialog::getOpenFileName(this, "SoundFont", QString(), "SoundFonts (*.sf2 *.sf3)");
    if (file.isEmpty())
        return;
    RunShowingFailure(host_, "", [&] {
        IniFile ini(programDirectory_ / "Tunquil.ini");
        ini.WriteString("Sound", "SoundFont", file.toStdString());
        ini.UpdateFile();
    });
    host_.ShowMessage("The SoundFont is used from the next start of Tunquil.",
                      TMsgDlgType::mtInformation, 0, mbOK);
}

void TMasterFrm::SetAsDefaultPlayer() {
    NotAvailable();
}
void TMasterFrm::RestoreDefaultPlayer() {
    NotAvailable();
}
void TMasterFrm::ManagePlugin() {
    NotAvailable();
}

void TMasterFrm::SetLaunchAtLogin(bool on) {
    settings_.launchOnWinStart = on;
}

} // namespace tunquil::ui
