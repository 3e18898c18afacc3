// Confirmation before a firmware upgrade starts: a frameless dialog of the window's family that
// warns the user not to use or unplug the camera meanwhile.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class FormUpgrade;
}
class QKeyEvent;
class QResizeEvent;

class FormUpgrade : public QDialog {
    Q_OBJECT

public:
    explicit FormUpgrade(QWidget *parent = nullptr);
    ~FormUpgrade() override;

public slots:
    void on_btnCancel_clicked();
    void on_btnOK_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::FormUpgrade> form;
};
