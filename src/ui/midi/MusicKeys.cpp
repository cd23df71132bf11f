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
}

bool MusicKeys::Holds(const QKeySequence& keys) const {
    return std::find(keys_.begin(), keys_.end(), keys) != keys_.end();
}

bool MusicKeys::eventFilter(QObject* watched, QEvent* event) {
    // A text or spin box claims Ctrl+Right and Ctrl+Left (a word on or back) before the
    // shortcuts are tried, by accepting the ShortcutOverride that precedes the key. In the
    // main window the music's keys win: the override is refused, so the shortcut runs. A key
    // no shortcut takes still reaches the box as usual.
    if (event->type() != QEvent::ShortcutOverride || !mainWindow_)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != mainWindow_)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence keys(key->keyCombination().toCombined() & ~Qt::KeypadModifier);
    if (!Holds(keys))
        return false;
    event->ignore();
    return true;
}

} // namespace tunquil::ui
