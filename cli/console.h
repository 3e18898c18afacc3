// The program's console. Standard output carries the program's own output only (its text or its
// JSON document): the trace lines that the platform layers print there go nowhere, or with
// --verbose to standard error. Standard error carries the program's plain words. A question is
// asked only where standard input is a terminal. An interrupt (Ctrl+C, SIGTERM) can be caught and
// reported as a signal on the main thread. The platform's part is in console_linux.cpp and
// console_win.cpp.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>

class Console : public QObject {
    Q_OBJECT

public:
    explicit Console(bool tracesToStandardError);
    ~Console() override;
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    void writeOutput(const QString &text);
    static void writeError(const QString &text);
    // Whether standard input is a terminal, where a question can be answered.
    static bool isInteractive();
    // Asks on standard error and reads the answer from standard input: true for "y" or "yes".
    bool ask(const QString &question);
    // From here on an interrupt emits interrupted() instead of ending the program.
    void catchInterrupts();

signals:
    void interrupted();

private:
    // The platform's part: a descriptor that writes where standard output went at start, with
    // standard output itself sent to standard error or to nowhere; and back.
    static int divertStandardOutput(bool toStandardError);
    static void restoreStandardOutput(int savedOutput);
    void installInterruptHandler();
    void removeInterruptHandler();

    int savedOutput = -1;
    QFile output;
    bool catchingInterrupts = false;
};
