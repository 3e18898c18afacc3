#include "ui/formcustomizemessagebox.h"

#include "ui/dialogfamily.h"
#include "ui/roundedcorners.h"
#include "ui_formcustomizemessagebox.h"

#include <QTimer>

namespace {
constexpr int kCountdownStart_s = 5;
constexpr int kCountdownTick_ms = 1000;
} // namespace

FormCustomizeMessagebox::FormCustomizeMessagebox(const QString &messageText, int buttonSet,
                                                 bool closesItself, QWidget *parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::FormCustomizeMessagebox>())
    , text(messageText)
    , buttons(buttonSet)
    , autoClose(closesItself) {
    form->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    // setText: a text that looks like HTML is shown as rich text.
    form->textEditPrompt->setText(text);
    form->btnCancel->setVisible(buttons == 1);
    form->btnOK->show();
    keepButtonTextsWhole(this);

    if (autoClose) {
        form->labelCountdown->show();
        secondsLeft = kCountdownStart_s;
        showCountdown(secondsLeft);
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &FormCustomizeMessagebox::slotOnTimeout);
        timer->start(kCountdownTick_ms);
    } else {
        form->labelCountdown->hide();
    }
    // Enter or Space presses OK.
    form->btnOK->setFocus();
}

FormCustomizeMessagebox::~FormCustomizeMessagebox() = default;

void FormCustomizeMessagebox::on_btnCancel_clicked() {
    stopCountdown();
    close();
}

void FormCustomizeMessagebox::on_btnOK_clicked() {
    stopCountdown();
    accept();
}

void FormCustomizeMessagebox::slotOnTimeout() {
    // The label shows 5 at opening and again after the first second, then 4 down to 0; the tick
    // that finds 0 accepts the box, six seconds after it was shown.
    showCountdown(secondsLeft);
    const int shown = secondsLeft--;
    if (shown != 0)
        return;
    stopCountdown();
    accept();
}

void FormCustomizeMessagebox::keyPressEvent(QKeyEvent *event) {
    if (!pressCancelOnEscape(event, form->btnCancel, form->btnOK))
        QDialog::keyPressEvent(event);
}

void FormCustomizeMessagebox::resizeEvent(QResizeEvent *event) {
    applyRoundedCornerMask(this);
    QDialog::resizeEvent(event);
}

void FormCustomizeMessagebox::showCountdown(int seconds) {
    form->labelCountdown->setText(
        tr("The window will close automatically after %1 seconds.").arg(seconds));
}

void FormCustomizeMessagebox::stopCountdown() {
    if (!timer)
        return;
    timer->stop();
    // The timer may be the sender of the running slot: delete it once that slot has returned.
    timer->deleteLater();
    timer = nullptr;
}
