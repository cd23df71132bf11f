#pragma once
// Keeping a window's saved place on the screens there are now: a place saved on a screen that
// has since gone, or with a larger resolution, must not put the window out of reach.

#include <QList>
#include <QRect>

namespace tunquil::ui {

// The available area (without panels) of every screen.
QList<QRect> AvailableScreenAreas();

// `wanted` unchanged when its title bar region lies on one of `screens`; otherwise shrunk to
// fit and moved onto the screen it overlaps most (the nearest when it overlaps none).
QRect ClampToScreens(QRect wanted, const QList<QRect>& screens);

// A window with no size of its own yet (the first start): most of `available`, the screen's
// area without panels, centred on it, and never smaller than `minimum`.
QRect SizedForScreen(const QRect& available, const QSize& minimum);

} // namespace tunquil::ui
