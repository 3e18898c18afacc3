// The package's upgrade script: one command per line, run once the camera sits in its boot
// loader. A line runs another script ("estar <file>"), loads a file into the camera's memory
// ("tftp <hex address> <file>"; an image the camera does not acknowledge fails the line, so that
// nothing unchecked is written to its flash) or is a boot-loader command line, sent as it stands
// after normalising and acknowledged by the camera.
#pragma once

#include <QByteArray>
#include <QString>

// Longest boot-loader command line that is sent.
constexpr int kMaxScriptCommandLength = 1023;
// Depth of "estar" nesting beyond which a script fails (a script that runs itself).
constexpr int kMaxScriptNesting = 16;
// Lines read in one whole run, nested scripts and skipped lines included, beyond which the run
// fails: scripts that run each other many times over would otherwise never end.
constexpr int kMaxScriptLines = 10000;

// Leading and trailing blanks and tabs removed, every inner run of them made one blank.
QByteArray normaliseScriptLine(const QByteArray &line);

// The load address of a "tftp" line: hexadecimal with an optional 0x/0X, read up to the first
// character that is not a hexadecimal digit. False without a digit or above 32 bits.
bool parseLoadAddress(const QByteArray &word, quint32 &address);

// Runs the script; 0 on success, -1 on failure. File names in scripts are taken inside
// `directory` (the package folder; the working directory when empty), as is fileName itself: a
// name that is absolute or leads out of that folder fails its line.
int runUpgradeScript(const QString &fileName, const QString &directory = QString());
