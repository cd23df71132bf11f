#include "ui/midi/MusicKeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

namespace tunquil::ui {

MusicKeys::MusicKeys(QWidget* mainWindow, QObject* parent)
    : QObject(parent), mainWindow_(mainWindow) {
    // On the application, so that the controls made later (a grid for a new category) and
    // the boxes' own line edits are covered too.
    qApp->installEventFilter(this);
}

void MusicKeys::Bind(QAction* item, const QKeySequence& keys) {
    item->setShortcut(keys);
    // Application-wide, so that the keys also work in the lyrics, program and mixer windows;
    // a modal dialog still blocks them.
    item->setShortcutContext(Qt::ApplicationShortcut);
    keys_.push_back(keys);
    items_.push_back(item);
}

void MusicKeys::Serve(QWidget* window) {
    window->addActions(items_);
    served_.emplace_back(window);
}

bool MusicKeys::Holds(const QKeySequence& keys) const {
    return std::find(keys_.begin(), keys_.end(), keys) != keys_.end();
}

bool MusicKeys::eventFilter(QObject* watched, QEvent* event) {
    const bool override = event->type() == QEvent::ShortcutOverride;
    if ((!override && event->type() != QEvent::KeyPress) || !mainWindow_)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    QWidget* window = widget->window();
    const bool main = window == mainWindow_;
    if (!main && std::find(served_.begin(), served_.end(), window) == served_.end())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence keys(key->keyCombination().toCombined() & ~Qt::KeypadModifier);
    if (!Holds(keys))
        return false;
    if (override) {
        // A text or spin box claims Ctrl+Right and Ctrl+Left (a word on or back) before the
        // shortcuts are tried, by accepting the ShortcutOverride that precedes the key. In the
        // main window the music's keys win: the override is refused, so the shortcut runs.
        if (!main)
            return false;
        event->ignore();
        return true;
    }
    // The key reached a control, so no shortcut took it: the toolkit can find no active
    // window for a moment while the window manager hands the focus to one of ours, though the
    // key arrives there. The key does what its item does all the same.
    for (QAction* item : items_) {
        if (item->shortcut() == keys && item->isEnabled()) {
            item->trigger();
            return true;
        }
    }
    return false;
}

} // namespace tunquil::ui
