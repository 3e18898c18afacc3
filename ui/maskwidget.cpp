#include "ui/maskwidget.h"

#include "ui/windowopacity.h"

#include <QApplication>
#include <QAtomicPointer>
#include <QEvent>
#include <QGuiApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPalette>
#include <QScreen>

namespace {
constexpr double kMaskOpacity = 0.7;

QAtomicPointer<MaskWidget> &theMask() {
    static QAtomicPointer<MaskWidget> mask;
    return mask;
}

MaskWidget::OpacityProbe opacityProbe = nullptr;

bool opacityShows() {
    return opacityProbe ? opacityProbe() : windowOpacityAvailable();
}

// Paints the mask's colour at the mask's opacity over the whole of its parent, the main window.
class InsideShade final : public QWidget {
public:
    InsideShade(QWidget *parent, const MaskWidget &owner)
        : QWidget(parent)
        , mask(owner) {
        setObjectName(QStringLiteral("maskShade"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QColor colour = mask.palette().color(QPalette::Window);
        colour.setAlphaF(colour.alphaF() * mask.windowOpacity());
        QPainter(this).fillRect(rect(), colour);
    }

private:
    const MaskWidget &mask;
};
} // namespace

void MaskWidget::setOpacityProbe(OpacityProbe probe) {
    opacityProbe = probe;
}

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
    QPalette colours = palette();
    colours.setBrush(QPalette::All, QPalette::Window, QBrush(bgColor, Qt::SolidPattern));
    setPalette(colours);
    if (QWidget *inside = shade.data())
        inside->update();
}

void MaskWidget::setOpacity(double opacity) {
    setWindowOpacity(opacity);
    if (QWidget *inside = shade.data())
        inside->update();
}

bool MaskWidget::dims() const {
    return isVisible() || shownShade();
}

QWidget *MaskWidget::shownShade() const {
    // Shown, even while the main window itself is not (yet) on screen.
    QWidget *inside = shade.data();
    return inside && !inside->isHidden() ? inside : nullptr;
}

QRect MaskWidget::dimmedArea() const {
    if (const QWidget *inside = shownShade())
        return QRect(inside->mapToGlobal(QPoint(0, 0)), inside->size());
    return isVisible() ? geometry() : QRect();
}

QWidget *MaskWidget::insideShade() {
    QWidget *covered = mainWidget.data();
    if (!covered)
        return nullptr;
    QWidget *inside = shade.data();
    if (!inside || inside->parentWidget() != covered) {
        inside = new InsideShade(covered, *this);
        shade = inside;
    }
    return inside;
}

void MaskWidget::dimFor(QWidget *dialog) {
    shownFor = dialog;
    QWidget *covered = mainWidget.data();
    QWidget *inside = opacityShows() ? nullptr : insideShade();
    if (inside && covered) {
        inside->setGeometry(covered->rect());
        inside->raise();
        inside->show();
    } else {
        show();
        activateWindow();
    }
    // The dialog ends up active above the mask. Raising it as well keeps it on top where no
    // window manager stacks the active window first.
    if (dialog) {
        dialog->raise();
        dialog->activateWindow();
    }
}

void MaskWidget::undim() {
    hide();
    if (QWidget *inside = shade.data())
        inside->hide();
    shownFor = nullptr;
}

bool MaskWidget::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Show:
        if (dialogNames.contains(watched->objectName(), Qt::CaseSensitive))
            dimFor(qobject_cast<QWidget *>(watched));
        break;
    case QEvent::Hide:
        if (dialogNames.contains(watched->objectName(), Qt::CaseSensitive))
            undim();
        break;
    case QEvent::WindowActivate:
        if (const QWidget *covered = mainWidget.data()) {
            if (watched->objectName() != covered->objectName())
                break;
            // The main window must not come above the dialog: the mask window takes the
            // activation, or, with the shade inside the main window, the dialog itself.
            QWidget *dialog = shownFor.data();
            if (isVisible())
                activateWindow();
            else if (shownShade() && dialog) {
                dialog->raise();
                dialog->activateWindow();
            }
        }
        break;
    case QEvent::Resize: {
        QWidget *inside = shade.data();
        QWidget *covered = mainWidget.data();
        if (inside && covered && watched == covered)
            inside->setGeometry(covered->rect());
        break;
    }
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
