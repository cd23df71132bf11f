#include "ui/export/TArchiveForm.h"

#include <QPushButton>

namespace tunquil::ui {

TArchiveForm::TArchiveForm(IHost& messages, QWidget* owner)
    : ArchiveProgressWindow(messages, owner, QStringLiteral("Archive processing status"), 501,
                            190) {
    setObjectName(QStringLiteral("ArchiveForm"));
    setCursor(Qt::WaitCursor);
    // Cancel must still look pressable under the hourglass.
    CancelButton->setCursor(Qt::ArrowCursor);
}

std::string TArchiveForm::ImportArchive(int entryCount,
                                        const std::function<std::string(IHost&)>& import) {
    const QString n = QString::number(entryCount);
    std::string result;
    Run(QStringLiteral(" Extracting %1 files from archive ").arg(n),
        QStringLiteral(" Importing %1 files into database ").arg(n),
        [&](IHost& host) { result = import(host); });
    return result;
}

void TArchiveForm::CancelClicked() {
    ArchiveProgressWindow::CancelClicked();
    if (onCancel)
        onCancel();
}

} // namespace tunquil::ui
