#include "ui/controls/TAboutBox.h"

#include "base/Version.h"
#include "ui/controls/AppIcon.h"
#include "ui/controls/TMessageDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunquil::ui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Tunquil");
    setAccessibleName(windowTitle());

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    icon->setObjectName("icon");

    auto* name = new QLabel("Tunquil", this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignHCenter);

    auto* version = new QLabel(QString("Version %1").arg(kVersion), this);
    version->setAlignment(Qt::AlignHCenter);
    version->setObjectName("version");

    auto* about =
        new QLabel("A MIDI music manager and jukebox.\n\n"
                   "Keeps your MIDI tunes in one database, sorted into categories and albums, "
                   "and plays them one after another through the FluidSynth software synthesizer.",
                   this);
    about->setWordWrap(true);
    about->setAlignment(Qt::AlignHCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(about);
    layout->addWidget(buttons);
    setMinimumWidth(320 * logicalDpiX() / 96);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::Execute(QWidget* parent) {
    TAboutBox box(parent);
    dialog::CentreOverOwner(&box, parent);
    box.exec();
    if (parent)
        parent->window()->update();
}

} // namespace tunquil::ui
