#include "ui/app/TSplashFrm.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "base/Version.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {
constexpr int kWidth = 320;
constexpr int kPictureHeight = 160;

// The picture: a dark-blue gradient with the program's name on it.
QPixmap SplashPicture(double scale) {
    QPixmap picture(qRound(kWidth * scale), qRound(kPictureHeight * scale));
    QPainter p(&picture);
    QLinearGradient gradient(0, 0, 0, picture.height());
    gradient.setColorAt(0, QColor(0, 0, 128));
    gradient.setColorAt(1, QColor(0, 0, 32));
    p.fillRect(picture.rect(), gradient);
    QFont font("Liberation Sans");
    font.setPixelSize(qRound(44 * scale));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 215, 0));
    p.drawText(picture.rect(), Qt::AlignCenter, "Tunquil");
    return picture;
}
} // namespace

TSplashFrm::TSplashFrm(const std::filesystem::path& programDirectory,
                       std::function<bool()> startUpComplete, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      startUpComplete_(std::move(startUpComplete)) {
    setObjectName("TSplashFrm");
    setAccessibleName("Tunquil");
    setAttribute(Qt::WA_DeleteOnClose);
    double scale = std::max(1.0, logicalDpiX() / 96.0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QLabel(this);
    panel->setPixmap(SplashPicture(scale));
    layout->addWidget(panel);
    label_ = new QLabel(QString("Tunquil %1 - MIDI music manager and jukebox").arg(kVersion), this);
    QFont small = label_->font();
    small.setPointSize(7);
    label_->setFont(small);
    label_->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label_);
    adjustSize();

    // Centred on the main window's saved place; on the screen when nothing was saved yet.
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect target = area;
    try {
        const std::filesystem::path ini = SettingsPath(programDirectory);
        IniFile file(ini);
        if (file.ValueExists("Format", "Width") && file.ValueExists("Format", "Height")) {
            target = QRect(file.ReadInteger("Format", "Left", 100),
                           file.ReadInteger("Format", "Top", 100),
                           file.ReadInteger("Format", "Width", 500),
                           file.ReadInteger("Format", "Height", 400));
        }
    } catch (const std::exception&) {
        // An unreadable file only costs the splash its place; start-up reports the file.
    }
    QPoint topLeft(target.left() + (target.width() - width()) / 2,
                   target.top() + (target.height() - height()) / 2);
    // Kept on the screen, so a place saved on a screen since removed does not hide it.
    topLeft.setX(
        std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - width())));
    topLeft.setY(
        std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    move(topLeft);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TSplashFrm::Tick);
    timer_->start();
    // A question opened while the splash is up must not open under it.
    qApp->installEventFilter(this);
}

bool TSplashFrm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType()) {
        auto* shown = static_cast<QWidget*>(watched);
        if (shown->isWindow() && shown->isModal())
            close();
    }
    return QWidget::eventFilter(watched, event);
}

QString TSplashFrm::LabelText() const {
    return label_->text();
}

void TSplashFrm::showEvent(QShowEvent* event) {
    counter_ = 0;
    QWidget::showEvent(event);
}

void TSplashFrm::Tick() {
    ++counter_;
    if (counter_ > 3 && startUpComplete_ && startUpComplete_())
        close();
}

void TSplashFrm::mousePressEvent(QMouseEvent*) {
    close();
}

void TSplashFrm::closeEvent(QCloseEvent* event) {
    qApp->removeEventFilter(this);
    timer_->stop();
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace tunquil::ui
