// The start-up steps that come between the application object and the main window: font and
// icon, the executable's folder as working directory, the log file and its handler, the banner, the
// window's language.
// The program and the demo program start the same way.
#pragma once

// Call right after the QApplication exists.
void prepareApplicationFrame();
// The application font with its stand-ins where its family is not installed (part of the above).
void setApplicationFont();
