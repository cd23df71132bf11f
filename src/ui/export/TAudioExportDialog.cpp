#include "ui/export/TAudioExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

// The formats in the order the list shows them.
constexpr AudioFormat kFormats[] = {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus,
                                    AudioFormat::Mp3, AudioFormat::Wave};
const char* const kFormatCaptions[] = {"FLAC (lossless)", "Ogg Vorbis", "Opus", "MP3",
                                       "WAV (uncompressed)"};

} // namespace

TAudioExportDialog::TAudioExportDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Save as audio"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    heading_ = new QLabel(this);

    FolderEdit = new QLineEdit(this);
    FolderEdit->setAccessibleName(QStringLiteral("Folder"));
    BrowseButton = new QPushButton(QStringLiteral("&Browse..."), this);
    BrowseButton->setAccessibleName(QStringLiteral("Browse for the folder"));
    connect(BrowseButton, &QPushButton::clicked, this, [this] {
        QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Save audio files in"),
                                                        FolderEdit->text());
        if (!dir.isEmpty())
            FolderEdit->setText(dir);
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(FolderEdit, 1);
    folderRow->addWidget(BrowseButton);

    FormatBox = new QComboBox(this);
    FormatBox->setAccessibleName(QStringLiteral("Format"));
    for (const char* caption : kFormatCaptions)
        FormatBox->addItem(QString::fromUtf8(caption));
    RateBox = new QComboBox(this);
    RateBox->setAccessibleName(QStringLiteral("Sample rate"));
    RateBox->addItem(QStringLiteral("44100 Hz"), 44100);
    RateBox->addItem(QStringLiteral("48000 Hz"), 48000);
    QualityBox = new QSpinBox(this);
    QualityBox->setAccessibleName(QStringLiteral("Quality, 0 to 10"));
    QualityBox->setRange(0, 10);
    LoudnessCheck = new QCheckBox(QStringLiteral("&Even loudness"), this);
    LoudnessCheck->setAccessibleName(QStringLiteral("Even loudness"));
    LoudnessBox = new QDoubleSpinBox(this);
    LoudnessBox->setAccessibleName(QStringLiteral("Loudness in LUFS"));
    LoudnessBox->setRange(-70, -5);
    LoudnessBox->setDecimals(1);
    LoudnessBox->setSingleStep(1);
    LoudnessBox->setSuffix(QStringLiteral(" LUFS"));
    auto* loudnessRow = new QHBoxLayout;
    loudnessRow->addWidget(LoudnessCheck);
    loudnessRow->addWidget(LoudnessBox, 1);
    connect(FormatBox, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
    connect(LoudnessCheck, &QCheckBox::toggled, this, [this] { UpdateControls(); });

    // The folder row is a layout, which a form cannot pair with its label: without a buddy the
    // label would show its '&' and Alt+F would go nowhere.
    auto* folderLabel = new QLabel(QStringLiteral("&Folder:"), this);
    folderLabel->setBuddy(FolderEdit);
    auto* form = new QFormLayout;
    form->addRow(folderLabel, folderRow);
    form->addRow(QStringLiteral("F&ormat:"), FormatBox);
    form->addRow(QStringLiteral("&Sample rate:"), RateBox);
    form->addRow(QStringLiteral("&Quality:"), QualityBox);
    form->addRow(QStringLiteral("Loudness:"), loudnessRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OkButton = buttons->button(QDialogButtonBox::Ok);
    OkButton->setText(QStringLiteral("&Save"));
    OkButton->setAccessibleName(QStringLiteral("Save"));
    CancelButton = buttons->button(QDialogButtonBox::Cancel);
    CancelButton->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TAudioExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TAudioExportDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TAudioExportDialog::Show(const AudioExportChoice& choice) {
    const AudioSettings& s = choice.settings;
    QString folder = QString::fromStdString(choice.folder.string());
    FolderEdit->setText(folder.isEmpty() ? QDir::homePath() + QStringLiteral("/Music") : folder);
    for (std::size_t i = 0; i < std::size(kFormats); ++i)
        if (kFormats[i] == s.format)
            FormatBox->setCurrentIndex(int(i));
    RateBox->setCurrentIndex(s.sampleRate == 48000 ? 1 : 0);
    QualityBox->setValue(s.quality);
    LoudnessCheck->setChecked(s.loudnessLufs.has_value());
    LoudnessBox->setValue(s.loudnessLufs.value_or(AudioSettings::kDefaultLoudness));
    UpdateControls();
}

AudioExportChoice TAudioExportDialog::Chosen() const {
    AudioExportChoice choice;
    choice.folder = FolderEdit->text().trimmed().toStdString();
    AudioSettings& s = choice.settings;
    s.format = kFormats[std::max(0, FormatBox->currentIndex())];
    s.sampleRate = RateBox->currentData().toInt();
    s.quality = QualityBox->value();
    if (LoudnessCheck->isChecked())
        s.loudnessLufs = LoudnessBox->value();
    else
        s.loudnessLufs.reset();
    return choice;
}

void TAudioExportDialog::UpdateControls() {
    AudioFormat format = kFormats[std::max(0, FormatBox->currentIndex())];
    QualityBox->setEnabled(AudioFormatHasQuality(format));
    // Opus is always 48 kHz.
    RateBox->setEnabled(format != AudioFormat::Opus);
    LoudnessBox->setEnabled(LoudnessCheck->isChecked());
}

void TAudioExportDialog::accept() {
    if (FolderEdit->text().trimmed().isEmpty()) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Choose a folder to save in."));
        FolderEdit->setFocus();
        return;
    }
    QDialog::accept();
}

std::optional<AudioExportChoice> TAudioExportDialog::Ask(std::size_t count,
                                                         const AudioExportChoice& last) {
    heading_->setText(count == 1 ? QStringLiteral("Save 1 title as an audio file.")
                                 : QStringLiteral("Save %1 titles as audio files.").arg(count));
    Show(last);
    if (OnShow)
        QTimer::singleShot(0, this, [this] { OnShow(*this); });
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return Chosen();
}

} // namespace tunquil::ui
