#include "ui/export/TMailForm.h"

#include "ui/controls/TAboutBox.h"
#include "ui/controls/THelpWindow.h"
#include "ui/export/TSetupDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tunquil::ui {

void TMailForm::Host::Progress(int percent, const std::string& what) {
    WidgetHost::Progress(percent, what);
    QCoreApplication::processEvents();
}

TMailForm::TMailForm(const std::filesystem::path& programDir, ITitleExporter& exporter,
                     IArchiveWriter& archiver, platform::ISecretStore* secrets, QWidget* owner)
    : QMainWindow(owner, Qt::Window), host_(this) {
    setWindowTitle(QStringLiteral("MIDI mail"));
    setMinimumSize(370, 375);
    mailer_ = std::make_unique<TitleMailer>(host_, programDir, exporter, archiver, secrets);
    mailer_->LoadSettings();
    setup_ = std::make_unique<TSetupDlg>(this);
    mailer_->onSetupRequired = [this] { Setup(); };

    SendAction = new QAction(QStringLiteral("&Send"), this);
    CancelAction = new QAction(QStringLiteral("&Cancel"), this);
    ExitAction = new QAction(QStringLiteral("E&xit"), this);
    SetupAction = new QAction(QStringLiteral("&Setup"), this);
    CancelAction->setEnabled(false);
    connect(SendAction, &QAction::triggered, this, [this] { SendMail(); });
    connect(CancelAction, &QAction::triggered, this, [this] { mailer_->Cancel(); });
    connect(ExitAction, &QAction::triggered, this, &QWidget::close);
    connect(SetupAction, &QAction::triggered, this, &TMailForm::Setup);

    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->addActions({SendAction, CancelAction, ExitAction});
    setupMenu_ = menuBar()->addMenu(QStringLiteral("&Setup"));
    setupMenu_->addAction(SetupAction);
    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(helpMenu_->addAction(QStringLiteral("&Use help cursor")), &QAction::triggered, this,
            [this] { SetHelpCursor(true); });
    connect(helpMenu_->addAction(QStringLiteral("&View help file")), &QAction::triggered, this,
            [this] { THelpWindow::ShowTopic(kMailHelp, this); });
    connect(helpMenu_->addAction(QStringLiteral("&About")), &QAction::triggered, this,
            [this] { TAboutBox::Execute(this); });

    auto* tools = addToolBar(QStringLiteral("Mail"));
    tools->setObjectName(QStringLiteral("MailToolBar"));
    tools->addAction(SendAction);
    tools->addAction(SetupAction);
    tools->addAction(ExitAction);
    tools->addAction(CancelAction);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* addresses = new QFormLayout;
    ToEdit = new QLineEdit(central);
    SubjectEdit = new QLineEdit(central);
    ToEdit->setAccessibleName(QStringLiteral("To:"));
    SubjectEdit->setAccessibleName(QStringLiteral("Subject:"));
    addresses->addRow(QStringLiteral("To:"), ToEdit);
    addresses->addRow(QStringLiteral("Subject:"), SubjectEdit);
    layout->addLayout(addresses);
    Body = new QPlainTextEdit(central);
    Body->setAccessibleName(QStringLiteral("Message"));
    layout->addWidget(Body, 1);
    layout->addWidget(new QLabel(QStringLiteral(" Attachments:"), central));
    Compressed = new QCheckBox(QStringLiteral("Send as compressed archive (recommended)"), central);
    Compressed->setChecked(true);
    layout->addWidget(Compressed);
    Attachments = new QTreeWidget(central);
    Attachments->setHeaderLabels(
        {QStringLiteral("Category"), QStringLiteral("Artist"), QStringLiteral("Title")});
    Attachments->setRootIsDecorated(false);
    Attachments->setAccessibleName(QStringLiteral("Attachments"));
    layout->addWidget(Attachments, 1);
    setCentralWidget(central);

    for (auto*& panel : StatusPanels) {
        panel = new QLabel(this);
        statusBar()->addWidget(panel, 1);
        if (panel == StatusPanels[0]) {
            Progress = new QProgressBar(this);
            Progress->setRange(0, 100);
            Progress->setAccessibleName(QStringLiteral("Progress"));
            Progress->setVisible(false);
            statusBar()->addWidget(Progress, 1);
        }
    }
    host_.SetStatusWidgets(StatusPanels[0], Progress);
}

TMailForm::~TMailForm() = default;

void TMailForm::MailTitles(const std::vector<int>& masterKeys) {
    setWindowTitle(QString::fromStdString(TitleMailer::Caption(masterKeys.size())));
    show();
    StatusPanels[0]->setText(QStringLiteral("Attaching files..."));
    {
        BusyScope busy(host_);
        mailer_->AttachTitles(masterKeys);
    }
    Attachments->clear();
    for (const MailAttachmentRow& row : mailer_->rows()) {
        auto* item = new QTreeWidgetItem(Attachments, {QString::fromStdString(row.category),
                                                       QString::fromStdString(row.artist),
                                                       QString::fromStdString(row.title)});
        item->setData(0, Qt::UserRole, QString::fromStdString(row.path.string()));
    }
}

void TMailForm::SetTransferMode(bool transferring) {
    CancelAction->setEnabled(transferring);
    for (QAction* a : {SendAction, SetupAction, ExitAction})
        a->setEnabled(!transferring);
    for (QWidget* w :
         std::initializer_list<QWidget*>{ToEdit, SubjectEdit, Body, Compressed, Attachments})
        w->setEnabled(!transferring);
    fileMenu_->setEnabled(!transferring);
    setupMenu_->setEnabled(!transferring);
    helpMenu_->setEnabled(!transferring);
    // The menu holding Cancel stays reachable through the tool bar's Cancel.
    Progress->setVisible(transferring);
    if (transferring)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

bool TMailForm::SendMail() {
    std::vector<std::string> body;
    for (const QString& line : Body->toPlainText().split(QLatin1Char('\n')))
        body.push_back(line.toStdString());
    if (Body->toPlainText().isEmpty())
        body.clear();
    SetTransferMode(true);
    bool sent = false;
    try {
        sent = mailer_->Send(ToEdit->text().toStdString(), SubjectEdit->text().toStdString(), body,
                             Compressed->isChecked());
    } catch (...) {
        // The mailer has shown what went wrong; the window only has to come back.
    }
    SetTransferMode(false);
    return sent;
}

void TMailForm::Setup() {
    if (setup_->Execute(mailer_->settings))
        mailer_->SaveSettings();
}

void TMailForm::closeEvent(QCloseEvent* event) {
    if (!mailer_->Close()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TMailForm::SetHelpCursor(bool on) {
    if (on == helpCursor_)
        return;
    helpCursor_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WhatsThisCursor);
        qApp->installEventFilter(this);
    } else {
        QApplication::restoreOverrideCursor();
        qApp->removeEventFilter(this);
    }
}

bool TMailForm::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!helpCursor_ || !widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        SetHelpCursor(false);
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress)
        return QMainWindow::eventFilter(watched, event);
    // The clicked control's own topic, else the mail window's.
    SetHelpCursor(false);
    int context = kMailHelp;
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (int own = w->property("helpContext").toInt(); own > 0) {
            context = own;
            break;
        }
    THelpWindow::ShowPopup(context, QCursor::pos(), this);
    return true;
}

} // namespace tunquil::ui
