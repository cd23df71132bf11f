#pragma once
// The program's help: topics written in HTML and compiled into the program, shown in one help
// window that every window shares. Each control's help context number leads to its topic.

#include <QWidget>
#include <vector>

class QPoint;
class QTextBrowser;
class QUrl;

namespace tunquil::ui {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    // Opens (or raises) the help window at the topic of `helpContext`; a context without a topic
    // (0 included) shows the contents.
    static void ShowTopic(int helpContext, QWidget* parent = nullptr);
    static void ShowContents(QWidget* parent = nullptr) { ShowTopic(0, parent); }
    // The topic of `helpContext` as a small pop-up at `globalPos` (the help cursor's click).
    static void ShowPopup(int helpContext, const QPoint& globalPos, QWidget* parent = nullptr);
    // The part of the topic that the pop-up shows: the control's own section of its page.
    static QString PopupHtml(int helpContext);
    // Closes the help window, if open (at shut-down).
    static void Quit();
    // The open help window, or null.
    static THelpWindow* Instance();

    // The address of the topic page for `helpContext` ("qrc:/help/contents.html" when none).
    static QUrl TopicUrl(int helpContext);
    static bool HasTopic(int helpContext);
    // Every help context that has a topic.
    static std::vector<int> Contexts();

    QTextBrowser* Browser() const { return browser_; }

private:
    explicit THelpWindow(QWidget* parent);
    QTextBrowser* browser_;
};

} // namespace tunquil::ui
