// The main window's sound commands: the program and mixer windows and the SoundFont.

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

} // namespace tunquil::ui
