// The two style sheets and the theme images they draw with: the palette colour at its fixed
// place, the same selectors in both themes, every referenced image present (with its high-density
// variants) and drawn for its theme, and the sizes of the artwork.
#include <QFile>
#include <QImage>
#include <QMap>
#include <QMovie>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {
struct Rule {
    QStringList selectors;
    QStringList properties; // in the order written
    QMap<QString, QString> values;
};

QString readSheet(const QString &theme) {
    QFile file(QStringLiteral(":/qss/%1.css").arg(theme));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Enough of the style sheet grammar for these files: comments, selector lists and
// "property: value;" declarations, no nesting.
QVector<Rule> parseSheet(QString text) {
    text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                   QRegularExpression::DotMatchesEverythingOption));
    QVector<Rule> rules;
    int at = 0;
    while (true) {
        const int open = text.indexOf(QLatin1Char('{'), at);
        if (open < 0)
            break;
        const int close = text.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            return {}; // unbalanced: no rule is trusted
        Rule rule;
        for (const QString &selector : text.mid(at, open - at).split(QLatin1Char(',')))
            rule.selectors << selector.simplified();
        for (const QString &declaration :
             text.mid(open + 1, close - open - 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const int colon = declaration.indexOf(QLatin1Char(':'));
            if (colon < 0) {
                if (!declaration.simplified().isEmpty())
                    rule.properties << QStringLiteral("<malformed: %1>").arg(declaration);
                continue;
            }
            const QString property = declaration.left(colon).simplified();
            rule.properties << property;
            rule.values.insert(property, declaration.mid(colon + 1).simplified());
        }
        rules << rule;
        at = close + 1;
    }
    return rules;
}

// The value the sheet gives a property under exactly this selector: the last one written wins.
QString valueOf(const QVector<Rule> &rules, const QString &selector, const QString &property) {
    QString value;
    for (const Rule &rule : rules) {
        if (rule.selectors.contains(selector) && rule.values.contains(property))
            value = rule.values.value(property);
    }
    return value;
}

QStringList urlsIn(const QString &text) {
    QStringList urls;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("url\\(\\s*([^)]*?)\\s*\\)")).globalMatch(text);
    while (it.hasNext())
        urls << it.next().captured(1);
    return urls;
}

} // namespace

class TestAppearanceSheets : public QObject {
    Q_OBJECT

private slots:
    void sheetsAreReadable();
    void paletteColourStandsAtItsPlace_data();
    void paletteColourStandsAtItsPlace();
    void bothSheetsHoldTheSameSelectors();
    void everyReferencedImageExists_data();
    void everyReferencedImageExists();
    void imagesComeFromTheirThemeFolder_data();
    void imagesComeFromTheirThemeFolder();
    void artworkSizes_data();
    void artworkSizes();
    void loadingAnimations_data();
    void loadingAnimations();
};

void TestAppearanceSheets::sheetsAreReadable() {
    for (const QString &theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
        const QString text = readSheet(theme);
        QVERIFY2(!text.isEmpty(), qPrintable(theme));
        const QVector<Rule> rules = parseSheet(text);
        QVERIFY2(rules.size() > 50, qPrintable(theme));
        for (const Rule &rule : rules) {
            for (const QString &property : rule.properties)
                QVERIFY2(!property.startsWith(QLatin1String("<malformed")),
                         qPrintable(theme + QLatin1Char(' ') + rule.selectors.join(", ") +
                                    QLatin1Char(' ') + property));
        }
    }
}

void TestAppearanceSheets::paletteColourStandsAtItsPlace_data() {
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("colour");
    QTest::newRow("light") << "light"
                           << "#FFFFFF";
    QTest::newRow("dark") << "dark"
                          << "#000000";
}

void TestAppearanceSheets::paletteColourStandsAtItsPlace() {
    QFETCH(QString, theme);
    QFETCH(QString, colour);
    const QString text = readSheet(theme);
    QVERIFY(text.startsWith(QStringLiteral("QPalette{background:%1;}").arg(colour)));
    QCOMPARE(text.mid(29, 29), QStringLiteral("*{outline:0px;color:#D7E2E9;}"));
    // The window takes the palette from exactly these characters.
    QCOMPARE(text.mid(20, 7), colour);
    QVERIFY(QColor(text.mid(20, 7)).isValid());
    // The rule agrees with what the window reads.
    QCOMPARE(valueOf(parseSheet(text), QStringLiteral("QPalette"), QStringLiteral("background")),
             colour);
}

void TestAppearanceSheets::bothSheetsHoldTheSameSelectors() {
    const QVector<Rule> light = parseSheet(readSheet(QStringLiteral("light")));
    const QVector<Rule> dark = parseSheet(readSheet(QStringLiteral("dark")));
    QVERIFY(!light.isEmpty());
    QCOMPARE(light.size(), dark.size());
    for (int i = 0; i < light.size(); ++i) {
        QCOMPARE(light[i].selectors, dark[i].selectors);
        // The themes differ in values only, never in what a rule sets.
        QCOMPARE(light[i].properties, dark[i].properties);
    }
}

void TestAppearanceSheets::everyReferencedImageExists_data() {
    QTest::addColumn<QString>("url");
    for (const QString &theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
        const QStringList urls = urlsIn(readSheet(theme));
        QVERIFY(!urls.isEmpty());
        for (const QString &url : urls)
            QTest::newRow(qPrintable(theme + QLatin1Char(' ') + url)) << url;
    }
}

void TestAppearanceSheets::everyReferencedImageExists() {
    QFETCH(QString, url);
    QVERIFY2(url.startsWith(QLatin1String(":/")), "resources only, never the file system");
    QVERIFY(QFile::exists(url));
    QVERIFY(!QImage(url).isNull());
    if (url.endsWith(QLatin1String(".png"))) {
        // High-density screens pick the @2x and @3x files by themselves.
        const QString stem = url.chopped(4);
        const QSize base = QImage(url).size();
        for (int scale : {2, 3}) {
            const QString variant = QStringLiteral("%1@%2x.png").arg(stem).arg(scale);
            QVERIFY2(QFile::exists(variant), qPrintable(variant));
            QCOMPARE(QImage(variant).size(), base * scale);
        }
    }
}

void TestAppearanceSheets::imagesComeFromTheirThemeFolder_data() {
    QTest::addColumn<QString>("theme");
    QTest::newRow("light") << "light";
    QTest::newRow("dark") << "dark";
}

void TestAppearanceSheets::imagesComeFromTheirThemeFolder() {
    QFETCH(QString, theme);
    const QString folder = QStringLiteral(":/qss/%1/").arg(theme);
    // The logo and the stop icon are shared by both themes.
    const QSet<QString> shared = {QStringLiteral(":/image/logo.png"),
                                  QStringLiteral(":/qss/light/icon-stop.png")};
    for (const QString &url : urlsIn(readSheet(theme)))
        QVERIFY2(url.startsWith(folder) || shared.contains(url), qPrintable(url));
}

void TestAppearanceSheets::artworkSizes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << ":/image/logo.png" << QSize(158, 60);
    QTest::newRow("logo@2x") << ":/image/logo@2x.png" << QSize(316, 120);
    QTest::newRow("logo@3x") << ":/image/logo@3x.png" << QSize(474, 180);
    for (const QString &theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
        auto row = [&](const char *name, QSize size) {
            const QString path = QStringLiteral(":/qss/%1/%2.png").arg(theme, QLatin1String(name));
            QTest::newRow(qPrintable(path)) << path << size;
        };
        row("icon-mode-light", QSize(24, 24));
        row("icon-mode-dark", QSize(24, 24));
        row("icon-arrow-down-ext", QSize(18, 18));
        row("icon-arrow-up-ext", QSize(18, 18));
        row(theme == QLatin1String("dark") ? "switch-close-dark" : "switch-close", QSize(42, 24));
        row("switch-open", QSize(42, 24));
        row("camera_disable", QSize(60, 60));
        row("direction-background", QSize(112, 112));
    }
    QTest::newRow("stop") << ":/qss/light/icon-stop.png" << QSize(60, 60);
}

void TestAppearanceSheets::artworkSizes() {
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage picture(path);
    QVERIFY2(!picture.isNull(), qPrintable(path));
    QCOMPARE(picture.size(), size);
    // Drawn with transparent surroundings, not on a filled square.
    QVERIFY(picture.hasAlphaChannel());
}

void TestAppearanceSheets::loadingAnimations_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("light") << ":/qss/light/loading.gif";
    QTest::newRow("dark") << ":/qss/dark/loading.gif";
}

void TestAppearanceSheets::loadingAnimations() {
    QFETCH(QString, path);
    QMovie movie(path);
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 1);
    QVERIFY(movie.jumpToFrame(0));
    QCOMPARE(movie.currentImage().size(), QSize(50, 50));
}

QTEST_MAIN(TestAppearanceSheets)
#include "tst_appearancesheets.moc"
