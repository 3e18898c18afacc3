// Which camera a command means. CAMERA is a position in the list (1, 2, ...), a device id (any
// case), or a part of the camera's friendly name (any case), in this order; without one, the only
// camera present.
#pragma once

#include "cli/output.h"
#include "device/cameralist.h"

#include <QString>
#include <QVector>

struct CameraChoice {
    bool found = false;
    ListedCamera camera;
    int position = 0;      // from 1
    CommandResult refusal; // when not found: no camera, none matching, or several (listed)
};

CameraChoice chooseCamera(const QVector<ListedCamera> &cameras, const QString &argument);
