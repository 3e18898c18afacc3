#include "app/language.h"

#include "common/settingsfiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

namespace {
const char kEnglish[] = "en";
const char kGerman[] = "de";
const char kChinese[] = "zh_CN";

// The language a name of the settings file or of the system means; empty for one the window does
// not speak. Names come as "de", "de_DE", "de-AT", "zh-Hans-CN", "zh_TW.UTF-8".
QString languageOfName(const QString &name) {
    const QString primary = name.section(QRegularExpression(QStringLiteral("[-_.@]")), 0, 0);
    if (primary.compare(QLatin1String(kEnglish), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(kEnglish);
    if (primary.compare(QLatin1String(kGerman), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(kGerman);
    if (primary.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(kChinese);
    return QString();
}

// Loads a translation file and installs it; the translator then belongs to the application.
bool installTranslator(const QString &fileName, const QStringList &folders) {
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : folders) {
        if (translator->load(fileName, folder)) {
            QCoreApplication::installTranslator(translator);
            qInfo().noquote() << "translation loaded:" << folder + QLatin1Char('/') + fileName;
            return true;
        }
    }
    delete translator;
    qWarning().noquote() << "no translation" << fileName << "in" << folders;
    return false;
}
} // namespace

QStringList windowLanguages() {
    return {QString::fromLatin1(kGerman), QString::fromLatin1(kChinese)};
}

QString chooseLanguage(const QString &setting, const QStringList &systemLanguages) {
    const QString chosen = languageOfName(setting.trimmed());
    if (!chosen.isEmpty())
        return chosen;
    if (!setting.trimmed().isEmpty())
        qWarning().noquote() << "unknown language in the settings:" << setting;
    for (const QString &name : systemLanguages) {
        const QString language = languageOfName(name);
        if (!language.isEmpty())
            return language;
    }
    return QString::fromLatin1(kEnglish);
}

bool installTranslations(const QString &language) {
    if (!windowLanguages().contains(language))
        return false;
    // The toolkit's translations: the system's (Debian: qttranslations5-l10n), else the folder
    // "translations" beside the program (the Windows zip).
    installTranslator(QStringLiteral("qtbase_%1.qm").arg(language),
                      {QLibraryInfo::location(QLibraryInfo::TranslationsPath),
                       QCoreApplication::applicationDirPath() + QStringLiteral("/translations")});
    return installTranslator(QStringLiteral("cameracontrol_%1.qm").arg(language),
                             {QStringLiteral(":/i18n")});
}

QString installConfiguredLanguage() {
    const QString language = chooseLanguage(readLanguageSetting(), QLocale::system().uiLanguages());
    qInfo().noquote() << "window language:" << language;
    installTranslations(language);
    return language;
}
