#include "upgrade/returningcamera.h"

#include "device/cameradevice.h"
#include "device/catalogue.h"

ReturningCamera::ReturningCamera(const QString &deviceId, int productLineSelector)
    : expectedId(deviceId) {
    if (!expectedId.isEmpty())
        return;
    QString manufacturer;
    int lineVendorId = 0;
    vendorByIndex(productLineSelector, manufacturer, lineVendorId);
    for (const ProductModel &model : ProductModelTable) {
        // No line configured: a disk of the common identity was upgraded, any model may return.
        if (lineVendorId == 0 || model.vendorId == lineVendorId)
            modelIds << QStringLiteral("vid_%1&pid_%2")
                            .arg(model.vendorId, 4, 16, QLatin1Char('0'))
                            .arg(model.productId, 4, 16, QLatin1Char('0'));
    }
    presentBefore = presentVideoInputIds();
}

bool ReturningCamera::isBack() const {
    const QStringList present = presentVideoInputIds();
    for (const QString &id : present) {
        if (matches(id))
            return true;
    }
    return false;
}

bool ReturningCamera::matches(const QString &deviceId) const {
    if (!expectedId.isEmpty())
        return deviceId.compare(expectedId, Qt::CaseInsensitive) == 0;
    if (presentBefore.contains(deviceId, Qt::CaseInsensitive))
        return false;
    for (const QString &model : modelIds) {
        if (deviceId.contains(model, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
