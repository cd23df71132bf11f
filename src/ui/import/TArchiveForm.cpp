#include "ui/import/TArchiveForm.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

// The archive import's host while the window is up: progress lands in the bars and Cancel is
// what the import asks about between files.
class TArchiveForm::Host : public IHost {
public:
    Host(IHost& outer, TArchiveForm& form) : outer_(outer), form_(form) {}
    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override {
        return outer_.ShowMessage(text, type, helpContext, buttons);
    }
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override {
        return outer_.InputText(caption, prompt, text);
    }
    void Progress(int percent, const std::string& what) override { form_.Show(percent, what); }
    bool CancelRequested() override { return form_.Cancelled(); }
    void Status(const std::string& text) override { outer_.Status(text); }
    void SetBusy(bool busy) override { outer_.SetBusy(busy); }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Beep() override { outer_.Beep(); }

private:
    IHost& outer_;
    TArchiveForm& form_;
};

namespace {

QProgressBar* Bar(const QString& name) {
    auto* bar = new QProgressBar;
    bar->setAccessibleName(name);
    return bar;
}

} // namespace

TArchiveForm::TArchiveForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Archive processing status");
    setAccessibleName("Archive processing status");
    setCursor(Qt::WaitCursor);
    resize(501, 190);
    extractGroup_ = new QGroupBox;
    extractBar_ = Bar("Extracting");
    (new QHBoxLayout(extractGroup_))->addWidget(extractBar_);
    importGroup_ = new QGroupBox;
    importBar_ = Bar("Importing");
    (new QHBoxLayout(importGroup_))->addWidget(importBar_);
    cancel_ = new QPushButton("Cancel");
    cancel_->setAccessibleName("Cancel");
    cancel_->setCursor(Qt::ArrowCursor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(extractGroup_);
    column->addWidget(importGroup_);
    column->addLayout(buttons);
    connect(cancel_, &QPushButton::clicked, this, &TArchiveForm::reject);
}

void TArchiveForm::Show(int percent, const std::string& what) {
    if (what.rfind(" Importing", 0) == 0) {
        importBar_->setValue(percent * count_ / 100);
    } else {
        extractGroup_->setTitle(QString::fromStdString(what));
        extractBar_->setValue(percent);
    }
}

std::string TArchiveForm::Run(IHost& outer, int count,
                              const std::function<std::string(IHost&)>& work) {
    cancelled_ = false;
    count_ = count;
    const QString n = QString::number(count);
    extractGroup_->setTitle(" Extracting " + n + " files from archive ");
    importGroup_->setTitle(" Importing " + n + " files into database ");
    extractBar_->setRange(0, 100);
    extractBar_->setValue(0);
    importBar_->setRange(0, count);
    importBar_->setValue(0);
    cancel_->setEnabled(true);

    std::string result;
    std::exception_ptr failure;
    Host host(outer, *this);
    // The import runs from the window's own loop, so Cancel and repaints reach it.
    QTimer::singleShot(50, this, [&] {
        try {
            result = work(host);
        } catch (...) {
            failure = std::current_exception();
        }
        done(cancelled_ ? Rejected : Accepted);
    });
    exec();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

void TArchiveForm::reject() {
    // The import sees the flag before its next file; the window waits for it to get there.
    cancelled_ = true;
    cancel_->setEnabled(false);
}

} // namespace tunquil::ui
