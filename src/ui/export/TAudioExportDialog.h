#pragma once
// The options of "Save as audio": the folder, the format, the sample rate, the quality and the
// loudness. It starts from what was chosen last (kept in Tunquil.ini by the caller).

#include "export/audio/AudioSettings.h"

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tunquil::ui {

class TAudioExportDialog : public QDialog {
public:
    explicit TAudioExportDialog(QWidget* owner);

    // Shows the dialog for `count` titles starting from `last`; none when the user cancels.
    std::optional<AudioExportChoice> Ask(std::size_t count, const AudioExportChoice& last);

    QLineEdit* FolderEdit = nullptr;
    QPushButton* BrowseButton = nullptr;
    QComboBox* FormatBox = nullptr;
    QComboBox* RateBox = nullptr;
    QSpinBox* QualityBox = nullptr;
    QCheckBox* LoudnessCheck = nullptr;
    QDoubleSpinBox* LoudnessBox = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // Called with the dialog once it is up; tests answer it from here.
    std::function<void(TAudioExportDialog&)> OnShow;

private:
    void Show(const AudioExportChoice& choice);
    AudioExportChoice Chosen() const;
    void UpdateControls();
    void accept() override;

    QLabel* heading_ = nullptr;
};

} // namespace tunquil::ui
