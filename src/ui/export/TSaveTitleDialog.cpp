#include "ui/export/TSaveTitleDialog.h"

namespace tunquil::ui {

const QString TSaveTitleDialog::kMidiFilter = QStringLiteral("MIDI file (*.mid)");
const QString TSaveTitleDialog::kCompressedFilter = QStringLiteral("Compressed file (*.zip)");

std::optional<ISaveTitleDialog::Choice> TSaveTitleDialog::Ask(const std::string& caption,
                                                              const std::string& fileName,
                                                              const std::filesystem::path& dir,
                                                              SaveFormat format) {
    QFileDialog dialog(owner_, QString::fromStdString(caption),
                       QString::fromStdString(dir.string()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters({kMidiFilter, kCompressedFilter});
    dialog.selectNameFilter(format == SaveFormat::Compressed ? kCompressedFilter : kMidiFilter);
    dialog.selectFile(QString::fromStdString(fileName));
    if (OnShow)
        OnShow(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    Choice choice;
    choice.path = dialog.selectedFiles().front().toStdString();
    choice.format = dialog.selectedNameFilter() == kCompressedFilter ? SaveFormat::Compressed
                                                                     : SaveFormat::Midi;
    return choice;
}

} // namespace tunquil::ui
