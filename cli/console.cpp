#include "cli/console.h"

#include <cstdio>
#include <iostream>
#include <string>

Console::Console(bool tracesToStandardError) {
    std::fflush(stdout);
    savedOutput = divertStandardOutput(tracesToStandardError);
    if (savedOutput >= 0)
        output.open(savedOutput, QIODevice::WriteOnly);
}

Console::~Console() {
    if (catchingInterrupts)
        removeInterruptHandler();
    output.close();
    std::fflush(stdout);
    restoreStandardOutput(savedOutput);
}

void Console::writeOutput(const QString &text) {
    output.write(text.toUtf8());
    output.flush();
}

void Console::writeError(const QString &text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool Console::ask(const QString &question) {
    writeError(question + QStringLiteral(" [y/N] "));
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    const QString word = QString::fromStdString(answer).trimmed().toLower();
    return word == QLatin1String("y") || word == QLatin1String("yes");
}

void Console::catchInterrupts() {
    if (catchingInterrupts)
        return;
    catchingInterrupts = true;
    installInterruptHandler();
}
