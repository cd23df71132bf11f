#include "ui/export/TCreateArchiveForm.h"

namespace tunquil::ui {

TCreateArchiveForm::TCreateArchiveForm(IHost& messages, QWidget* owner)
    : ArchiveProgressWindow(messages, owner, QStringLiteral("Archiving..."), 493, 163) {
    setObjectName(QStringLiteral("CreateArchiveForm"));
}

TitleArchiver::Outcome
TCreateArchiveForm::BuildTitleArchive(TMyDB& db, const std::filesystem::path& programDir,
                                      const std::string& archiveName,
                                      const std::vector<int32_t>& masterKeys) {
    const QString n = QString::number(masterKeys.size());
    std::vector<std::string> keys;
    for (int32_t key : masterKeys)
        keys.push_back(std::to_string(key));
    auto outcome = TitleArchiver::Outcome::NothingToArchive;
    Run(QStringLiteral(" Preparing %1 files for archiving ").arg(n),
        QStringLiteral(" Archiving %1 files ").arg(n), [&](IHost& host) {
            TitleArchiver archiver(host, db, programDir);
            if (startDeferredTitle)
                archiver.startDeferredTitle = startDeferredTitle;
            if (shuttingDown)
                archiver.shuttingDown = shuttingDown;
            outcome = archiver.ArchiveTitles(keys, archiveName);
        });
    return outcome;
}

} // namespace tunquil::ui
