#pragma once
// The save dialog of SaveTitles: one file name per title, as a MIDI file or a compressed file.
// It does not ask before replacing a file itself; the saver asks, for every file it writes.

#include "export/TitleSaver.h"

#include <QFileDialog>
#include <functional>

namespace tunquil::ui {

class TSaveTitleDialog : public ISaveTitleDialog {
public:
    explicit TSaveTitleDialog(QWidget* owner) : owner_(owner) {}

    std::optional<Choice> Ask(const std::string& caption, const std::string& fileName,
                              const std::filesystem::path& directory, SaveFormat format) override;

    static const QString kMidiFilter;
    static const QString kCompressedFilter;

    // Called with the dialog just before it is shown; tests answer it from here.
    std::function<void(QFileDialog&)> OnShow;

private:
    QWidget* owner_;
};

} // namespace tunquil::ui
