#include "app/nativebackends.h"

#include "control/extensionunitchannel.h"
#include "device/hotplugsource.h"
#include "device/videoinputs.h"
#include "preview/framecapture.h"
#include "upgrade/scsichannel.h"

void installNativeBackends() {
    installVideoInputBackend(&nativeVideoInputBackend());
    installExtensionUnitBackend(&nativeExtensionUnitBackend());
    installFrameCaptureFactory(openNativeFrameCapture);
    installScsiBackend(&nativeScsiBackend());
    installHotplugSourceFactory(createNativeHotplugSource);
}
