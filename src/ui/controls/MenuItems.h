#pragma once
// Menu items made and connected in one step, for the window and its command parts.

#include <QAction>
#include <QMenu>
#include <functional>

namespace tunquil::ui {

inline QAction* Item(QMenu* menu, const QString& caption, QObject* receiver,
                     std::function<void()> action) {
    QAction* item = menu->addAction(caption);
    QObject::connect(item, &QAction::triggered, receiver, std::move(action));
    return item;
}

inline QAction* Check(QMenu* menu, const QString& caption, QObject* receiver,
                      std::function<void(bool)> action) {
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    QObject::connect(item, &QAction::toggled, receiver, std::move(action));
    return item;
}

} // namespace tunquil::ui
