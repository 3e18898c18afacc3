// Installs the operating system's implementation of every device seam.
#pragma once

void installNativeBackends();
