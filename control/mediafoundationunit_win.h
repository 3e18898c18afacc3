// The vendor extension unit on an activated Media Foundation capture source, found in the source's
// kernel-streaming topology. Built from the bare COM objects so that a test can hand in objects of
// its own.
#pragma once

#include "control/extensionunitchannel.h"

#include <unknwn.h>

#include <memory>

// `mediaSource` must offer IKsTopologyInfo. `sourceReader` is only held: it keeps the source
// open. `platform` is released after both (it keeps Media Foundation started); may be null.
std::unique_ptr<ExtensionUnitDevice> createMediaFoundationUnit(IUnknown *mediaSource,
                                                               IUnknown *sourceReader,
                                                               std::shared_ptr<void> platform);
