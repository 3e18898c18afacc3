// The window for the keyboard and for screen readers: the names and descriptions that assistive
// technology reads for controls without a text of their own, the tab order, and the keys of the
// direction pad, the zoom and the preview.
//
// The direction pad takes the focus as a whole (its arrow buttons are for the mouse): the arrow
// keys then click the matching button, so a key moves pan or tilt one step as a click does, and a
// held key repeats. + and - move the zoom slider one step from the pad, the slider and the
// preview. Space and Enter on the preview do what a click on its camera or stop icon does.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include <initializer_list>

namespace {
// The key that a press means for the zoom: +1, -1, or 0 for another key. "=" is the unshifted
// "+" of many keyboards.
int zoomDirectionOfKey(const QKeyEvent &event) {
    switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return 1;
    case Qt::Key_Minus:
        return -1;
    default:
        return 0;
    }
}

bool isActivationKey(const QKeyEvent &event) {
    return event.key() == Qt::Key_Space || event.key() == Qt::Key_Return ||
           event.key() == Qt::Key_Enter;
}

void describe(QWidget *widget, const QString &name, const QString &description = QString()) {
    widget->setAccessibleName(name);
    if (!description.isEmpty())
        widget->setAccessibleDescription(description);
}
} // namespace

void MainWindow::setUpKeyboardAndNames() {
    // Names for the controls that show an icon or nothing, descriptions where a name is not
    // enough. Buttons with a text are read by their text.
    describe(ui->btnModeLight, tr("Light theme"),
             tr("Switches between the light and the dark theme."));
    describe(ui->btnModeDark, tr("Dark theme"));
    describe(ui->btnNavControl, ui->btnNavControl->text(),
             tr("Shows the camera's settings and the preview."));
    describe(ui->btnNavPicture, ui->btnNavPicture->text(),
             tr("Shows the picture controls of the camera: brightness, white balance, exposure."));
    describe(ui->btnNavSupport, ui->btnNavSupport->text(),
             tr("Shows the device information, the firmware upgrade and the support links."));
    describe(ui->listWidgetCamera, tr("Cameras"), tr("Choosing a camera opens it."));
    describe(ui->labPreview, tr("Preview"), tr("Space or Enter starts and stops the preview."));
    describe(ui->btnHDR, tr("HDR"));
    describe(ui->comboBoxAntiFlicker, tr("Anti-flicker"));
    describe(ui->comboBoxTrackMode, tr("Tracking mode"));
    describe(ui->comboBoxTrackEffect, tr("Tracking effect"));
    describe(ui->comboBoxTrackSpeend, tr("Tracking speed"));
    describe(ui->comboBoxMic, tr("Microphone"));
    describe(ui->widgetDirectionBg, tr("Direction pad"),
             tr("The arrow keys move the picture one step; + and - zoom."));
    describe(ui->btnCameraUp, tr("Tilt up"));
    describe(ui->btnCameraDown, tr("Tilt down"));
    describe(ui->btnCameraLeft, tr("Pan left"));
    describe(ui->btnCameraRight, tr("Pan right"));
    describe(ui->sliderZoom, tr("Zoom"), tr("From 100% to 800%; + and - change it by one step."));
    describe(ui->btnRestoreDefaults, ui->btnRestoreDefaults->text(),
             tr("Restores the camera's settings; the camera may restart."));
    describe(comboBoxProfiles, tr("Profile"),
             tr("Ctrl+1 to Ctrl+9 apply the first nine profiles."));
    const QString section = tr("Shows or hides the section.");
    describe(ui->btnDevInfoExtend, ui->labelDevInfo->text(), section);
    describe(ui->btnDevUpdateExtend, ui->labelDevUpdate->text(), section);
    describe(ui->btnDevSupportExtend, ui->labelDevSupport->text(), section);
    describe(ui->btnDevDesktopVerExtend, ui->labelDevDesktopVer->text(), section);
    describe(ui->btnUpgrade,
             ui->btnUpgrade->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
             tr("Asks for a firmware package and upgrades the camera with it."));
    describe(ui->progressBarUpdate, tr("Upgrade progress"));

    // Focus: the pad and the preview take it from the keyboard (a click keeps working as it did);
    // the pad's buttons and the scroll area around the Support page leave it to what they hold.
    // The links are reached and opened by keyboard.
    ui->widgetDirectionBg->setFocusPolicy(Qt::TabFocus);
    ui->labPreview->setFocusPolicy(Qt::TabFocus);
    for (QPushButton *arrow :
         {ui->btnCameraUp, ui->btnCameraDown, ui->btnCameraLeft, ui->btnCameraRight})
        arrow->setFocusPolicy(Qt::NoFocus);
    ui->scrollAreaSupport->setFocusPolicy(Qt::NoFocus);
    for (QLabel *link : {ui->labelHyperlinksQuickStartGuide, ui->labelHyperlinksUserGuide,
                         ui->labelHyperlinksContactSupport})
        link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    ui->widgetDirectionBg->installEventFilter(this);
    ui->sliderZoom->installEventFilter(this);

    // The tab order follows the layout: the title bar, the navigation, the camera list, then the
    // page: the preview, the Control column top to bottom and the profiles; the Picture page's
    // rows (in the order they are built) or the Support sections.
    const std::initializer_list<QWidget *> order = {ui->btnModeLight,
                                                    ui->btnModeDark,
                                                    ui->btnNavControl,
                                                    ui->btnNavPicture,
                                                    ui->btnNavSupport,
                                                    ui->listWidgetCamera,
                                                    ui->labPreview,
                                                    ui->btnHDR,
                                                    ui->comboBoxAntiFlicker,
                                                    ui->comboBoxTrackMode,
                                                    ui->widgetDirectionBg,
                                                    ui->sliderZoom,
                                                    ui->comboBoxTrackEffect,
                                                    ui->comboBoxTrackSpeend,
                                                    ui->comboBoxMic,
                                                    ui->btnRestoreDefaults,
                                                    comboBoxProfiles,
                                                    btnProfileSaveAs,
                                                    btnProfileApply,
                                                    btnProfileDelete,
                                                    checkBoxConnectProfile,
                                                    ui->btnDevInfoExtend,
                                                    ui->btnDevUpdateExtend,
                                                    ui->btnUpgrade,
                                                    ui->btnDevSupportExtend,
                                                    ui->labelHyperlinksQuickStartGuide,
                                                    ui->labelHyperlinksUserGuide,
                                                    ui->labelHyperlinksContactSupport,
                                                    ui->btnDevDesktopVerExtend};
    QWidget *previous = nullptr;
    for (QWidget *next : order) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
}

bool MainWindow::handleControlKey(QObject *watched, QKeyEvent *event) {
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
        return false;
    const bool pad = watched == ui->widgetDirectionBg;
    if (pad) {
        QPushButton *arrow = nullptr;
        switch (event->key()) {
        case Qt::Key_Up:
            arrow = ui->btnCameraUp;
            break;
        case Qt::Key_Down:
            arrow = ui->btnCameraDown;
            break;
        case Qt::Key_Left:
            arrow = ui->btnCameraLeft;
            break;
        case Qt::Key_Right:
            arrow = ui->btnCameraRight;
            break;
        default:
            break;
        }
        if (arrow) {
            // A disabled button (no zoom, or at the limit) moves nothing, as with the mouse.
            if (arrow->isEnabled())
                arrow->click();
            return true;
        }
    }
    const int zoom = zoomDirectionOfKey(*event);
    if (zoom != 0 && (pad || watched == ui->sliderZoom || watched == ui->labPreview)) {
        if (ui->sliderZoom->isEnabled())
            ui->sliderZoom->triggerAction(zoom > 0 ? QAbstractSlider::SliderSingleStepAdd
                                                   : QAbstractSlider::SliderSingleStepSub);
        return true;
    }
    if (watched == ui->labPreview && isActivationKey(*event)) {
        if (event->isAutoRepeat())
            return true;
        if (previewRunning)
            previewStopPressed();
        else if (ui->labelCamera->isVisible())
            previewStartPressed();
        return true;
    }
    return false;
}
