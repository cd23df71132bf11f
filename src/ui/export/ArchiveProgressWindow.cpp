#include "ui/export/ArchiveProgressWindow.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunquil::ui {

ArchiveProgressWindow::ArchiveProgressWindow(IHost& messages, QWidget* owner,
                                             const QString& caption, int width, int height)
    : WorkProgressWindow(messages, owner) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto group = [this](QGroupBox*& box, QProgressBar*& bar, const QString& name) {
        box = new QGroupBox(this);
        bar = new QProgressBar(box);
        bar->setAccessibleName(name);
        bar->setTextVisible(false);
        (new QVBoxLayout(box))->addWidget(bar);
    };
    group(FirstGroup, FirstBar, QStringLiteral("First progress"));
    group(SecondGroup, SecondBar, QStringLiteral("Second progress"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FirstGroup);
    layout->addWidget(SecondGroup);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CancelButton);
    row->addStretch();
    layout->addLayout(row);
    setFixedSize(width, height);
}

void ArchiveProgressWindow::Run(const QString& firstCaption, const QString& secondCaption,
                                const std::function<void(IHost&)>& work) {
    FirstGroup->setTitle(firstCaption);
    SecondGroup->setTitle(secondCaption);
    for (QProgressBar* bar : {FirstBar, SecondBar}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    RunWork(work);
}

void ArchiveProgressWindow::ShowProgress(int percent, const std::string& what) {
    const bool first = QString::fromStdString(what) == FirstGroup->title();
    (first ? FirstBar : SecondBar)->setValue(percent);
}

void ArchiveProgressWindow::BeforeMessage() {
    // From the first message on, the window stays where it is like any other.
    if (windowFlags() & Qt::WindowStaysOnTopHint) {
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
        show();
    }
}

void ArchiveProgressWindow::Running() {
    if (OnRunning)
        OnRunning(*this);
}

} // namespace tunquil::ui
