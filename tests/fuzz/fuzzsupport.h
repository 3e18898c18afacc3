// What the fuzzing harnesses share: the parsers log freely, and writing every line would slow each
// run down, so Qt's messages are dropped and standard output goes nowhere (libFuzzer reports on
// standard error).
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct QuietHarness {
    QuietHarness() {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        if (!std::freopen("/dev/null", "w", stdout))
            std::perror("stdout");
    }
};

inline QByteArray bytesOf(const std::uint8_t *data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size));
}
