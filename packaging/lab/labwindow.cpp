// The window as the program runs it, with a user who answers its dialogs, for the lab scenarios
// of this folder, where nobody can click: the offer to upgrade a camera found in an updater stage
// is accepted, the package named on the command line is picked in the file dialog, the
// confirmation is confirmed, and every message box is printed and closed. It ends after the first
// successful upgrade (exit code 0) or after the third failed one (exit code 1).
//   cameracontrol-lab-window PACKAGE.zip
#include "app/startup.h"
#include "app/nativebackends.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int kMaxAttempts = 3;

void say(const QString &line) {
    std::printf("lab-window: %s\n", qPrintable(line));
    std::fflush(stdout);
}

class DialogUser : public QObject {
public:
    explicit DialogUser(QString packageFile)
        : package(std::move(packageFile)) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *dialog = qobject_cast<QDialog *>(watched);
        // Answered from inside the dialog's own event loop, once it is up.
        if (event->type() == QEvent::Show && dialog && dialog->isWindow())
            QTimer::singleShot(0, this,
                               [this, target = QPointer<QDialog>(dialog)] { answer(target); });
        return false;
    }

private:
    void answer(QDialog *dialog) {
        if (!dialog || !dialog->isVisible())
            return;
        if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
            say(QStringLiteral("file dialog: picks %1").arg(package));
            files->selectFile(package);
            QMetaObject::invokeMethod(files, "accept"); // protected in QFileDialog
            return;
        }
        const QString name = dialog->objectName();
        if (name == QLatin1String("FormAbnormal")) {
            ++attempts;
            say(QStringLiteral("attempt %1: the window offers to upgrade the stuck camera")
                    .arg(attempts));
            click(dialog, "btnUpgrade");
            return;
        }
        const auto *text = dialog->findChild<QTextEdit *>(QStringLiteral("textEditPrompt"));
        const QString shown = text ? text->toPlainText().simplified() : QString();
        say(name + QStringLiteral(": ") + shown.left(120));
        click(dialog, "btnOK");
        const bool succeeded = shown.contains(QLatin1String("successful"));
        if (name == QLatin1String("FormCustomizeMessagebox") &&
            (succeeded || (shown.contains(QLatin1String("failed")) && attempts >= kMaxAttempts))) {
            say(QStringLiteral("result: %1 after %2 attempt(s)")
                    .arg(succeeded ? QStringLiteral("upgraded") : QStringLiteral("not upgraded"))
                    .arg(attempts));
            // Once the window has left its upgrade state.
            QTimer::singleShot(500, qApp,
                               [succeeded] { QCoreApplication::exit(succeeded ? 0 : 1); });
        }
    }
    static void click(QDialog *dialog, const char *button) {
        if (auto *push = dialog->findChild<QPushButton *>(QLatin1String(button)))
            push->click();
        else
            dialog->reject();
    }

    const QString package;
    int attempts = 0;
};
} // namespace

int main(int argc, char *argv[]) {
    auto *application = new QApplication(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cameracontrol-lab-window PACKAGE.zip\n");
        return 2;
    }
    const QString package = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    prepareApplicationFrame();
    installNativeBackends();
    DialogUser user(package);
    application->installEventFilter(&user);
    auto *window = new MainWindow();
    window->show();
    const int result = QApplication::exec();
    delete window;
    delete application;
    return result;
}
