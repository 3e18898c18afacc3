#include "ui/maskwidget.h"

#include <QApplication>
#include <QAtomicPointer>
#include <QEvent>
#include <QGuiApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QPalette>
#include <QScreen>

namespace {
constexpr double kMaskOpacity = 0.7;

QAtomicPointer<MaskWidget> &theMask() {
    static QAtomicPointer<MaskWidget> mask;
    return mask;
}
} // namespace

MaskWidget *MaskWidget::instance() {
    if (MaskWidget *existing = theMask().loadAcquire())
        return existing;
    static QMutex creation;
    QMutexLocker locker(&creation);
    if (MaskWidget *existing = theMask().loadAcquire())
        return existing;
    auto *created = new MaskWidget();
    theMask().storeRelease(created);
    return created;
}

MaskWidget::MaskWidget()
    : QWidget(nullptr) {
    setWindowOpacity(kMaskOpacity);
    setBgColor(QColor(0, 0, 0, 255));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    qApp->installEventFilter(this);
}

void MaskWidget::setMainWidget(QWidget *widget) {
    if (mainWidget != widget)
        mainWidget = widget;
}

void MaskWidget::setDialogNames(const QStringList &names) {
    if (dialogNames != names)
        dialogNames = names;
}

void MaskWidget::setBgColor(const QColor &bgColor) {
    QPalette shade = palette();
    shade.setBrush(QPalette::All, QPalette::Window, QBrush(bgColor, Qt::SolidPattern));
    setPalette(shade);
}

void MaskWidget::setOpacity(double opacity) {
    setWindowOpacity(opacity);
}

bool MaskWidget::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Show:
        if (dialogNames.contains(watched->objectName(), Qt::CaseSensitive)) {
            show();
            activateWindow();
            // The dialog ends up active above the mask. Raising it as well keeps it on top where
            // no window manager stacks the active window first.
            if (auto *dialog = qobject_cast<QWidget *>(watched)) {
                dialog->raise();
                dialog->activateWindow();
            }
        }
        break;
    case QEvent::Hide:
        if (dialogNames.contains(watched->objectName(), Qt::CaseSensitive))
            hide();
        break;
    case QEvent::WindowActivate:
        if (const QWidget *covered = mainWidget.data()) {
            if (watched->objectName() == covered->objectName() && isVisible())
                activateWindow();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void MaskWidget::showEvent(QShowEvent *event) {
    // The window may have moved since the last dialog: cover it where it is now.
    if (const QWidget *covered = mainWidget.data())
        setGeometry(covered->geometry());
    QWidget::showEvent(event);
}
