// A translator that translates nothing and remembers every (context, source text) it was asked
// for, to check which translation context a text goes through.
#pragma once

#include <QPair>
#include <QSet>
#include <QString>
#include <QTranslator>

class TranslationRecorder : public QTranslator {
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        requests.insert(qMakePair(QString::fromUtf8(context), QString::fromUtf8(sourceText)));
        return QString();
    }
    bool isEmpty() const override { return false; }
    bool asked(const QString &context, const QString &sourceText) const {
        return requests.contains(qMakePair(context, sourceText));
    }

    mutable QSet<QPair<QString, QString>> requests;
};
