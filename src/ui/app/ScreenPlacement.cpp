#include "ui/app/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace tunquil::ui {

QList<QRect> AvailableScreenAreas() {
    QList<QRect> areas;
    for (QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

QRect ClampToScreens(QRect wanted, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return wanted;
    // The strip along the top edge by which the user can grab the window.
    const QRect grip(wanted.left(), wanted.top(), wanted.width(), std::min(wanted.height(), 30));
    auto area = [](const QRect& r) { return r.isEmpty() ? 0LL : 1LL * r.width() * r.height(); };
    for (const QRect& s : screens)
        if (s.contains(grip))
            return wanted;
    // The screen it overlaps most; when it overlaps none, the nearest.
    auto distance = [&](const QRect& s) {
        QPoint d = s.center() - wanted.center();
        return 1LL * d.x() * d.x() + 1LL * d.y() * d.y();
    };
    const QRect* best = &screens.front();
    for (const QRect& s : screens) {
        long long a = area(s.intersected(wanted)), b = area(best->intersected(wanted));
        if (a > b || (a == 0 && b == 0 && distance(s) < distance(*best)))
            best = &s;
    }
    wanted.setWidth(std::min(wanted.width(), best->width()));
    wanted.setHeight(std::min(wanted.height(), best->height()));
    wanted.moveLeft(std::clamp(wanted.left(), best->left(), best->right() - wanted.width() + 1));
    wanted.moveTop(std::clamp(wanted.top(), best->top(), best->bottom() - wanted.height() + 1));
    return wanted;
}

QRect SizedForScreen(const QRect& available, const QSize& minimum) {
    // Four fifths each way: room for the grids' columns, with the desktop still in sight.
    QSize size(std::max(available.width() * 4 / 5, minimum.width()),
               std::max(available.height() * 4 / 5, minimum.height()));
    size = size.boundedTo(available.size());
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(available.center());
    return placed;
}

} // namespace tunquil::ui
