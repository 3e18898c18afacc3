// Installs the operating system's implementation of every device seam: the program's start and
// the command-line program's do this before anything opens a device.
#pragma once

void installNativeBackends();
