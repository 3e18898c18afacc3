#include "app/nativebackends.h"

#include "control/extensionunitchannel.h"
#include "control/picturecontrols.h"
#include "device/hotplugsource.h"
#include "device/videoinputs.h"
#include "preview/framecapture.h"
#include "upgrade/elevation.h"
#include "upgrade/scsichannel.h"

void installNativeBackends() {
    installVideoInputBackend(&nativeVideoInputBackend());
    installExtensionUnitBackend(&nativeExtensionUnitBackend());
    installPictureControlBackend(&nativePictureControlBackend());
    installFrameCaptureFactory(openNativeFrameCapture);
    installScsiBackend(&nativeScsiBackend());
    installHotplugSourceFactory(createNativeHotplugSource);
    installElevationBackend(&nativeElevationBackend());
}
