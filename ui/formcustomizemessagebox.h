// The application's own message box: frameless, modal when run, with OK, optionally Cancel, and
// optionally a countdown that accepts it by itself.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class FormCustomizeMessagebox;
}
class QKeyEvent;
class QResizeEvent;
class QTimer;

class FormCustomizeMessagebox : public QDialog {
    Q_OBJECT

public:
    // buttons: 1 shows OK and Cancel, any other value OK only. With autoClose the box counts
    // down from 5 once a second and accepts itself six seconds after it was shown.
    FormCustomizeMessagebox(const QString &messageText, int buttonSet, bool closesItself,
                            QWidget *parent = nullptr);
    ~FormCustomizeMessagebox() override;

    // Whether the countdown is still running.
    bool countdownActive() const { return timer != nullptr; }

public slots:
    void on_btnCancel_clicked();
    void on_btnOK_clicked();
    void slotOnTimeout();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showCountdown(int seconds);
    void stopCountdown();

    std::unique_ptr<Ui::FormCustomizeMessagebox> form;
    QString text;
    int buttons = 0;
    bool autoClose = false;
    QTimer *timer = nullptr;
    int secondsLeft = 0;
};
