#include "upgrade/sleepinhibitor.h"

#include <QtDebug>

SleepInhibitor::SleepInhibitor(const QString &why) {
    QString reason;
    hold = takeSleepHold(why, reason);
    if (hold)
        qInfo("sleep inhibitor taken");
    else
        qWarning().noquote() << "sleep inhibitor not taken:" << reason;
}

SleepInhibitor::~SleepInhibitor() {
    if (hold)
        qInfo("sleep inhibitor released");
}
