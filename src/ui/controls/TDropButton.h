#pragma once
// A toolbar button that titles can be dropped on (the add buttons and the database toolbar's
// Edit, Mail, Archive, Save, Print and Delete). `onDrop` decides: false refuses the drop.

#include "ui/controls/TitleKeysMime.h"

#include <QToolButton>
#include <functional>

namespace tunquil::ui {

class TDropButton : public QToolButton {
public:
    explicit TDropButton(QWidget* parent = nullptr);

    // Whether a drop would be taken now (not while the window is locked).
    std::function<bool()> accepting;
    std::function<bool(const DraggedTitles&)> onDrop;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool Takes(const QMimeData* data) const;
};

} // namespace tunquil::ui
