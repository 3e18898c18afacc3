// Small helpers shared by the tests: captured messages and standard output, process resources,
// and byte buffers written as hex text so that a table row can state what went on the wire.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdint>
#include <vector>

// Declares the columns of a data table, one type per name, in order.
template <typename... Types>
void addColumns(std::initializer_list<const char *> names) {
    auto name = names.begin();
    (QTest::addColumn<Types>(*name++), ...);
}

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

// Collects what the process writes to standard output (file descriptor 1) while it lives.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;
    // Restores standard output and returns what the code under test printed meanwhile.
    QString finish();

private:
    QTemporaryFile file;
    int saved = -1;
    QString text;
};

// "0a 1b ..." of the bytes.
QString hexOf(const std::uint8_t *data, std::size_t size);
inline QString hexOf(const std::vector<std::uint8_t> &bytes) {
    return hexOf(bytes.data(), bytes.size());
}
QByteArray readFile(const QString &path);
// Writes the file, creating its folder; false when it cannot.
bool writeFile(const QString &path, const QByteArray &content);

// Counts the file descriptors this process has open (Linux: /proc/self/fd).
int openFileDescriptorCount();
// Counts the threads of this process without those of Qt's global pool, which come and go on
// their own (image scaling borrows them; they expire only after half a minute).
int threadsOutsideThePool();
