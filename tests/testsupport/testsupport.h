// Small helpers shared by the tests.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Collects the messages logged while it lives (instead of the installed handler).
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    QStringList messages() const;
    bool contains(const QString &text) const;

private:
    QtMessageHandler previous;
};

// Counts the file descriptors this process has open (Linux: /proc/self/fd).
int openFileDescriptorCount();
// Counts the threads of this process (Linux: /proc/self/task) without those of Qt's global pool,
// which come and go on their own (image scaling, for one, borrows them and they expire only after
// half a minute).
int threadsOutsideThePool();
