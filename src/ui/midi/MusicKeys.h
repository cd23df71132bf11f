#pragma once
// The keys of the music controls (the Program menu's), which work in every window of the
// program and in every control of the main window: with the lyrics, the program or the mixer
// in front, and also in the boxes that would take Ctrl+Right or Ctrl+Left for moving the cursor
// by a word. Dialogs that wait for an answer keep their keys.

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <vector>

class QAction;
class QWidget;

namespace tunquil::ui {

class MusicKeys : public QObject {
public:
    // `mainWindow`: the window whose controls give the keys up to the music.
    MusicKeys(QWidget* mainWindow, QObject* parent);

    // Gives `item` its keys, valid in every window of the program.
    void Bind(QAction* item, const QKeySequence& keys);
    // Gives `window` (the lyrics, the program, the mixer) the keys as its own too, so that they
    // work while it is in front whatever the desktop makes of the main window meanwhile.
    void Serve(QWidget* window);
    // Whether `keys` are one of the music controls' keys.
    bool Holds(const QKeySequence& keys) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> mainWindow_;
    std::vector<QKeySequence> keys_;
    QList<QAction*> items_;
    std::vector<QPointer<QWidget>> served_;
};

} // namespace tunquil::ui
