#include "ui/controls/THelpWindow.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <map>

// The topics are compiled into the GUI library, which is static: nothing would pull them into
// the program unless asked for by name.
static void InitHelpResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    (void)done;
}

namespace tunquil::ui {

namespace {

struct Topic {
    const char* page;
    const char* anchor; // empty: the whole page
};

// Every control's help context and where its topic is. The numbers are those the controls carry;
// a number that is changed here must be changed there too.
const std::map<int, Topic>& Topics() {
    static const std::map<int, Topic> topics = [] {
        std::map<int, Topic> t{
            {1000, {"mainwindow", ""}},
            {2, {"albums", "albumlist"}},
            {3, {"playing", "playreplace"}},
            {4, {"playing", "play"}},
            {5, {"albums", "newalbum"}},
            {6, {"editing", ""}},
            {7, {"adding", "systemscan"}},
            {8, {"saving", ""}},
            {9, {"deleting", ""}},
            {10, {"adding", "drivescan"}},
            {11, {"playing", "program"}},
            {12, {"categories", "grid"}},
            {14, {"playing", "position"}},
            {15, {"playing", "shuffle"}},
            {16, {"playing", "clear"}},
            {17, {"playing", "volume"}},
            {18, {"categories", "tabs"}},
            {20, {"adding", "load"}},
            {21, {"archiving", ""}},
            {27, {"mailing", ""}},
            {31, {"printing", ""}},
            {33, {"printing", "reporttitle"}},
            {34, {"printing", "columns"}},
            {201, {"adding", "firstscan"}},
            {1033, {"albums", "tabs"}},
            {1076, {"defaultplayer", ""}},
            {1080, {"saving", "savedialog"}},
        };
        // The browser plug-in dialog's controls share one topic.
        for (int context = 7002; context <= 7011; ++context)
            t.emplace(context, Topic{"plugin", ""});
        return t;
    }();
    return topics;
}

QPointer<THelpWindow>& Window() {
    static QPointer<THelpWindow> window;
    return window;
}

QString ResourcePath(const QUrl& url) {
    return ":" + url.path();
}

// The part of a page that belongs to one anchor: from the anchor to the next one.
QString Section(const QUrl& url) {
    QFile file(ResourcePath(url));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString html = QString::fromUtf8(file.readAll());
    int start = html.indexOf("<body>");
    start = start < 0 ? 0 : start + 6;
    if (url.hasFragment()) {
        int at = html.indexOf("id=\"" + url.fragment() + "\"");
        if (at >= 0)
            start = html.lastIndexOf('<', at);
    }
    static const QRegularExpression nextSection("<h2 |</body>");
    int end = html.indexOf(nextSection, start + 1);
    return html.mid(start, end < 0 ? -1 : end - start);
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setWindowTitle("Tunquil Help");
    setAccessibleName("Tunquil Help");
    setAttribute(Qt::WA_DeleteOnClose);
    browser_->setAccessibleName("Help topic");
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560 * logicalDpiX() / 96, 520 * logicalDpiY() / 96);
    // Esc closes the help, as it closes a dialog.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

QUrl THelpWindow::TopicUrl(int helpContext) {
    InitHelpResources();
    auto it = Topics().find(helpContext);
    if (it == Topics().end())
        return QUrl("qrc:/help/contents.html");
    QUrl url(QString("qrc:/help/%1.html").arg(it->second.page));
    if (*it->second.anchor)
        url.setFragment(it->second.anchor);
    return url;
}

bool THelpWindow::HasTopic(int helpContext) {
    return Topics().count(helpContext) > 0;
}

std::vector<int> THelpWindow::Contexts() {
    std::vector<int> contexts;
    for (const auto& [context, topic] : Topics())
        contexts.push_back(context);
    return contexts;
}

THelpWindow* THelpWindow::Instance() {
    return Window();
}

void THelpWindow::ShowTopic(int helpContext, QWidget* parent) {
    QPointer<THelpWindow>& window = Window();
    if (!window)
        window = new THelpWindow(nullptr);
    // A help window opened from a modal box must take input while the box waits, so it is
    // modal itself then, and an ordinary window otherwise.
    Qt::WindowModality modality =
        QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal;
    if (window->windowModality() != modality) {
        window->hide();
        window->setWindowModality(modality);
    }
    window->browser_->setSource(TopicUrl(helpContext));
    if (!window->isVisible() && parent) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(parent->window()->frameGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void THelpWindow::ShowPopup(int helpContext, const QPoint& globalPos, QWidget* parent) {
    if (!HasTopic(helpContext)) {
        ShowTopic(helpContext, parent);
        return;
    }
    QWhatsThis::showText(globalPos, PopupHtml(helpContext), parent);
}

QString THelpWindow::PopupHtml(int helpContext) {
    return Section(TopicUrl(helpContext));
}

void THelpWindow::Quit() {
    if (Window())
        Window()->close();
}

} // namespace tunquil::ui
