#include "ui/export/TSetupDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tunquil::ui {

TSetupDlg::TSetupDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Tunquil mail setup"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto* form = new QFormLayout;
    auto field = [&](const QString& label) {
        auto* edit = new QLineEdit(this);
        edit->setAccessibleName(label);
        form->addRow(label, edit);
        return edit;
    };
    auto list = [&](const QString& label, const QStringList& items) {
        auto* box = new QComboBox(this);
        box->addItems(items);
        box->setAccessibleName(label);
        form->addRow(label, box);
        return box;
    };
    Server = field(QStringLiteral("SMTP server"));
    Security = list(QStringLiteral("Security"),
                    {QStringLiteral("None"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    Port = new QSpinBox(this);
    Port->setRange(0, 65535);
    Port->setSpecialValueText(QStringLiteral("Default"));
    Port->setAccessibleName(QStringLiteral("Port"));
    form->addRow(QStringLiteral("Port"), Port);
    User = field(QStringLiteral("User"));
    EMail = field(QStringLiteral("EMail address"));
    SenderName = field(QStringLiteral("Name"));
    LogFile = field(QStringLiteral("Log File Name"));
    CharSet = list(QStringLiteral("Character Set"),
                   {QStringLiteral("US-ASCII"), QStringLiteral("ISO-8859-1")});
    Encoding = list(QStringLiteral("Encoding"), {QStringLiteral("MIME"), QStringLiteral("UUCode")});
    Ras = list(QStringLiteral("RAS service"), {QStringLiteral("None")});

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TSetupDlg::Load(const MailSettings& s) {
    Server->setText(QString::fromStdString(s.server));
    EMail->setText(QString::fromStdString(s.emailAddress));
    SenderName->setText(QString::fromStdString(s.name));
    LogFile->setText(QString::fromStdString(s.logFile));
    CharSet->setCurrentIndex(s.charSet == 1 ? 1 : 0);
    Encoding->setCurrentIndex(s.encoding == 1 ? 1 : 0);
    Security->setCurrentIndex(s.security >= 0 && s.security <= 2 ? s.security : 0);
    Port->setValue(s.port);
    User->setText(QString::fromStdString(s.user));
    Ras->setCurrentIndex(0);
}

void TSetupDlg::Store(MailSettings& s) const {
    s.server = Server->text().toStdString();
    s.emailAddress = EMail->text().toStdString();
    s.name = SenderName->text().toStdString();
    s.logFile = LogFile->text().toStdString();
    s.charSet = CharSet->currentIndex();
    s.encoding = Encoding->currentIndex();
    s.security = Security->currentIndex();
    s.port = Port->value();
    s.user = User->text().toStdString();
    // A dial-up entry of a file written elsewhere is kept: there is none here to choose.
}

bool TSetupDlg::Execute(MailSettings& settings) {
    Load(settings);
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    if (exec() != QDialog::Accepted)
        return false;
    Store(settings);
    return true;
}

} // namespace tunquil::ui
