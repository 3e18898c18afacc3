// The language of the window: English, German or Simplified Chinese. It follows the system's
// languages unless the user's settings file names one ("language=de"). The command-line program
// installs no translation and stays English.
#pragma once

#include <QString>
#include <QStringList>

// The languages the window speaks besides English, as named in the settings file and in the
// names of the translation files.
QStringList windowLanguages();
// The language to show: the setting when it names a known language ("en" included), otherwise the
// first of the system's languages (most preferred first, "de-AT", "zh-Hans-CN") that the window
// speaks, otherwise English. Any Chinese is shown in Simplified Chinese.
QString chooseLanguage(const QString &setting, const QStringList &systemLanguages);
// Installs the window's translation and the toolkit's own (standard buttons and dialogs) for the
// language, before any window or table of labels is built. English installs nothing. Returns
// whether the window's translation was found.
bool installTranslations(const QString &language);
// Chooses from the user's settings file and the system, and installs; returns the language.
QString installConfiguredLanguage();
