#include "ui/controls/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tunquil::ui {

namespace {

void Triangle(QPainter& p, QRectF r, bool right) {
    QPainterPath path;
    if (right) {
        path.moveTo(r.left(), r.top());
        path.lineTo(r.right(), r.center().y());
        path.lineTo(r.left(), r.bottom());
    } else {
        path.moveTo(r.right(), r.top());
        path.lineTo(r.left(), r.center().y());
        path.lineTo(r.right(), r.bottom());
    }
    path.closeSubpath();
    p.drawPath(path);
}

void Letter(QPainter& p, double s, const QString& text, const QColor& colour) {
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(s * 0.75));
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, text);
}

void Draw(QPainter& p, GlyphKind kind, double s) {
    const QColor ink(20, 20, 20);
    const QColor green(0, 120, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const double m = s * 0.2;
    const QRectF box(m, m, s - 2 * m, s - 2 * m);
    switch (kind) {
    case GlyphKind::Play:
        p.setBrush(green);
        Triangle(p, box, true);
        break;
    case GlyphKind::Pause:
        p.drawRect(QRectF(box.left(), box.top(), box.width() * 0.35, box.height()));
        p.drawRect(
            QRectF(box.right() - box.width() * 0.35, box.top(), box.width() * 0.35, box.height()));
        break;
    case GlyphKind::Stop:
        p.setBrush(QColor(160, 0, 0));
        p.drawRect(box);
        break;
    case GlyphKind::Next:
        Triangle(p, QRectF(box.left(), box.top(), box.width() * 0.75, box.height()), true);
        p.drawRect(
            QRectF(box.right() - box.width() * 0.2, box.top(), box.width() * 0.2, box.height()));
        break;
    case GlyphKind::Previous:
        p.drawRect(QRectF(box.left(), box.top(), box.width() * 0.2, box.height()));
        Triangle(
            p, QRectF(box.left() + box.width() * 0.25, box.top(), box.width() * 0.75, box.height()),
            false);
        break;
    case GlyphKind::Restart: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, s * 0.12));
        p.drawArc(box, 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        QRectF head(box.right() - s * 0.3, box.top() - s * 0.05, s * 0.3, s * 0.3);
        Triangle(p, head, true);
        break;
    }
    case GlyphKind::Shuffle:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, s * 0.1));
        p.drawLine(box.topLeft(), box.bottomRight());
        p.drawLine(box.bottomLeft(), box.topRight());
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        Triangle(p, QRectF(box.right() - s * 0.2, box.top() - s * 0.1, s * 0.25, s * 0.25), true);
        Triangle(p, QRectF(box.right() - s * 0.2, box.bottom() - s * 0.15, s * 0.25, s * 0.25),
                 true);
        break;
    case GlyphKind::Clear:
        p.setPen(QPen(QColor(160, 0, 0), s * 0.14));
        p.drawLine(box.topLeft(), box.bottomRight());
        p.drawLine(box.bottomLeft(), box.topRight());
        break;
    case GlyphKind::View:
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(box.left(), box.top() + i * box.height() * 0.38, box.width(),
                              box.height() * 0.2));
        break;
    case GlyphKind::Volume: {
        QPainterPath path;
        path.moveTo(box.left(), box.top() + box.height() * 0.35);
        path.lineTo(box.left() + box.width() * 0.3, box.top() + box.height() * 0.35);
        path.lineTo(box.left() + box.width() * 0.6, box.top());
        path.lineTo(box.left() + box.width() * 0.6, box.bottom());
        path.lineTo(box.left() + box.width() * 0.3, box.top() + box.height() * 0.65);
        path.lineTo(box.left(), box.top() + box.height() * 0.65);
        path.closeSubpath();
        p.drawPath(path);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, s * 0.08));
        p.drawArc(QRectF(box.left() + box.width() * 0.4, box.top() + box.height() * 0.2,
                         box.width() * 0.55, box.height() * 0.6),
                  -60 * 16, 120 * 16);
        break;
    }
    case GlyphKind::AddPlay:
        p.setBrush(green);
        Triangle(
            p, QRectF(box.left() + box.width() * 0.35, box.top(), box.width() * 0.65, box.height()),
            true);
        Letter(p, s * 0.7, "+", ink);
        break;
    case GlyphKind::Add:
        Letter(p, s, "+", green);
        break;
    case GlyphKind::StopClear:
        p.setBrush(QColor(160, 0, 0));
        p.drawRect(QRectF(box.left(), box.top(), box.width() * 0.6, box.height() * 0.6));
        p.setPen(QPen(ink, s * 0.1));
        p.drawLine(QPointF(box.left() + box.width() * 0.5, box.top() + box.height() * 0.5),
                   box.bottomRight());
        p.drawLine(QPointF(box.right(), box.top() + box.height() * 0.5),
                   QPointF(box.left() + box.width() * 0.5, box.bottom()));
        break;
    case GlyphKind::Collapse:
        Triangle(p, box, false);
        break;
    case GlyphKind::Expand:
        Triangle(p, box, true);
        break;
    case GlyphKind::NewAlbum:
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(box);
        p.setBrush(QColor(200, 60, 60));
        p.drawEllipse(box.center(), box.width() / 5, box.height() / 5);
        Letter(p, s * 0.6, "+", green);
        break;
    case GlyphKind::Load:
        Letter(p, s, "L", QColor(0, 0, 128));
        break;
    case GlyphKind::ScanDrive:
        Letter(p, s, "D", QColor(0, 0, 128));
        break;
    case GlyphKind::ScanSystem:
        Letter(p, s, "S", QColor(0, 0, 128));
        break;
    case GlyphKind::Edit:
        Letter(p, s, "E", ink);
        break;
    case GlyphKind::Mail:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, s * 0.08));
        p.drawRect(box.adjusted(0, box.height() * 0.15, 0, -box.height() * 0.15));
        p.drawLine(QPointF(box.left(), box.top() + box.height() * 0.15), box.center());
        p.drawLine(box.center(), QPointF(box.right(), box.top() + box.height() * 0.15));
        break;
    case GlyphKind::Archive:
        Letter(p, s, "Z", QColor(120, 80, 0));
        break;
    case GlyphKind::Save:
        p.drawRect(box);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(box.left() + box.width() * 0.2, box.top(), box.width() * 0.6,
                          box.height() * 0.4));
        break;
    case GlyphKind::Print:
        p.drawRect(
            QRectF(box.left(), box.top() + box.height() * 0.35, box.width(), box.height() * 0.4));
        p.setBrush(Qt::white);
        p.setPen(QPen(ink, s * 0.05));
        p.drawRect(QRectF(box.left() + box.width() * 0.2, box.top(), box.width() * 0.6,
                          box.height() * 0.4));
        break;
    case GlyphKind::Delete:
        p.setBrush(QColor(90, 90, 90));
        p.drawRect(QRectF(box.left() + box.width() * 0.15, box.top() + box.height() * 0.2,
                          box.width() * 0.7, box.height() * 0.8));
        p.drawRect(QRectF(box.left(), box.top(), box.width(), box.height() * 0.12));
        break;
    }
}

} // namespace

QIcon Glyph(GlyphKind kind, int size) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap picture(size * scale, size * scale);
        picture.setDevicePixelRatio(scale);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        Draw(painter, kind, size);
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

} // namespace tunquil::ui
