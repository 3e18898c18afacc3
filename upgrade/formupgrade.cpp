#include "upgrade/formupgrade.h"

#include "ui/dialogfamily.h"
#include "ui/roundedcorners.h"
#include "ui_formupgrade.h"

FormUpgrade::FormUpgrade(QWidget *parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::FormUpgrade>()) {
    form->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    keepButtonTextsWhole(this);
    // Set here rather than in the form: the form would store the text as a whole HTML document.
    form->textEditPrompt->setText(
        tr("<h3>Get Ready to Update</h3>Make sure your camera is not in use by another "
           "application before proceeding with this software update. <br><br>This update takes a "
           "few minutes to complete. <br><br><b>Do not disconnect your device</b> during the "
           "update process."));
    // Enter or Space confirms.
    form->btnOK->setFocus();
}

FormUpgrade::~FormUpgrade() = default;

void FormUpgrade::on_btnCancel_clicked() {
    close();
}

void FormUpgrade::on_btnOK_clicked() {
    accept();
}

void FormUpgrade::keyPressEvent(QKeyEvent *event) {
    if (!pressCancelOnEscape(event, form->btnCancel))
        QDialog::keyPressEvent(event);
}

void FormUpgrade::resizeEvent(QResizeEvent *event) {
    applyRoundedCornerMask(this);
    QDialog::resizeEvent(event);
}
