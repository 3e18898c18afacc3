// The camera that an upgrade waits for once its script has run: back in normal operation, as a
// video input, with the USB identity it had. Only then has the upgrade succeeded; a camera still
// in its boot loader, or gone, has not.
#pragma once

#include <QString>
#include <QStringList>

class ReturningCamera {
public:
    // deviceId: the camera that the upgrade itself sent into its updater (USB ids, interface and
    // port, as the window opened it). Empty for a camera found in an updater stage, which cannot
    // say who it is: then any camera of the product line's models that is not a video input at
    // construction, so that another camera left plugged in meanwhile does not count.
    ReturningCamera(const QString &deviceId, int productLineSelector);

    // Whether the camera is among the video inputs now.
    bool isBack() const;

private:
    bool matches(const QString &deviceId) const;

    QString expectedId;
    QStringList modelIds;      // "vid_xxxx&pid_yyyy" of each model of the product line
    QStringList presentBefore; // video inputs at construction
};
