// The program's start from the application object to the shown window: the application frame
// (font, icon, working folder, log file and handler, banner), the operating system's back end
// behind every device seam, and the main window.
#pragma once

#include <memory>

class MainWindow;

// Call before the QApplication is made: what the process asks of Qt's platform layer.
void prepareProcess();
// Call right after the QApplication exists; the window is shown when it returns.
std::unique_ptr<MainWindow> startProgram();
