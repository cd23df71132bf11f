#include "ui/export/WorkProgressWindow.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

namespace tunquil::ui {

WorkProgressWindow::WorkProgressWindow(IHost& messages, QWidget* owner)
    : QDialog(owner), host_(*this, messages) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setAccessibleName(QStringLiteral("Cancel"));
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelClicked(); });
    start_ = new QTimer(this);
    start_->setSingleShot(true);
    start_->setInterval(50);
    connect(start_, &QTimer::timeout, this, [this] {
        running_ = true;
        try {
            work_(host_);
        } catch (const std::exception& e) {
            // Nothing may leave a timer's slot; the user is told instead.
            host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
        }
        running_ = false;
        work_ = nullptr;
        accept();
    });
}

void WorkProgressWindow::RunWork(const std::function<void(IHost&)>& work) {
    cancelled_ = false;
    told_ = false;
    CancelButton->setEnabled(true);
    work_ = work;
    start_->start();
    exec();
}

void WorkProgressWindow::CancelClicked() {
    cancelled_ = true;
    CancelButton->setEnabled(false);
}

void WorkProgressWindow::reject() {
    // The window goes when its work does; closing it early would leave the work unwatched.
    if (running_ || start_->isActive())
        CancelClicked();
    else
        QDialog::reject();
}

void WorkProgressWindow::Host::ProcessEvents() {
    QCoreApplication::processEvents();
    if (!window_.told_) {
        window_.told_ = true;
        window_.Running();
    }
}

} // namespace tunquil::ui
