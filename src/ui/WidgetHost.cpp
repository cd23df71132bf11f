#include "ui/WidgetHost.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <utility>

namespace tunquil::ui {

namespace {

const std::pair<TMsgDlgBtn, QMessageBox::StandardButton> kButtons[] = {
    {mbYes, QMessageBox::Yes},       {mbNo, QMessageBox::No},        {mbOK, QMessageBox::Ok},
    {mbCancel, QMessageBox::Cancel}, {mbAbort, QMessageBox::Abort},  {mbRetry, QMessageBox::Retry},
    {mbIgnore, QMessageBox::Ignore}, {mbAll, QMessageBox::YesToAll}, {mbHelp, QMessageBox::Help},
};

TModalResult ResultOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return TModalResult::mrOk;
    case QMessageBox::Cancel:
        return TModalResult::mrCancel;
    case QMessageBox::Abort:
        return TModalResult::mrAbort;
    case QMessageBox::Retry:
        return TModalResult::mrRetry;
    case QMessageBox::Ignore:
        return TModalResult::mrIgnore;
    case QMessageBox::Yes:
        return TModalResult::mrYes;
    case QMessageBox::No:
        return TModalResult::mrNo;
    case QMessageBox::YesToAll:
        return TModalResult::mrAll;
    default:
        return TModalResult::mrNone;
    }
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void WidgetHost::SetStatusWidgets(QLabel* status, QProgressBar* progress) {
    status_ = status;
    progress_ = progress;
}

TModalResult WidgetHost::ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                     TMsgDlgButtons buttons) {
    (void)helpContext;
    QMessageBox box(IconOf(type), "Tunquil", QString::fromStdString(ExpandLineSeparators(text)),
                    QMessageBox::NoButton, parent_);
    for (const auto& [bit, button] : kButtons)
        if (buttons & bit)
            box.addButton(button);
    if (buttons == 0)
        box.addButton(QMessageBox::Ok);
    return ResultOf(static_cast<QMessageBox::StandardButton>(box.exec()));
}

bool WidgetHost::InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) {
    bool ok = false;
    QString answer = QInputDialog::getText(parent_, QString::fromStdString(caption),
                                           QString::fromStdString(prompt), QLineEdit::Normal,
                                           QString::fromStdString(text), &ok);
    if (ok)
        text = answer.toStdString();
    return ok;
}

void WidgetHost::Progress(int percent, const std::string& what) {
    (void)what;
    if (!progress_)
        return;
    progress_->setRange(0, 100);
    progress_->setValue(percent);
    progress_->setVisible(percent > 0);
}

void WidgetHost::Status(const std::string& text) {
    if (status_)
        status_->setText(QString::fromStdString(text));
}

void WidgetHost::SetBusy(bool busy) {
    if (busy) {
        if (busyDepth_++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QApplication::restoreOverrideCursor();
    }
}

void WidgetHost::ProcessEvents() {
    QCoreApplication::processEvents();
}

void WidgetHost::Beep() {
    QApplication::beep();
}

} // namespace tunquil::ui
