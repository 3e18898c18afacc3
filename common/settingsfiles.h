// Where the settings live. The vendor selection ("[product_model] main") is read from the
// system's configuration, then from the user's, then from product.ini beside the program where
// that file exists (a portable copy carries its selection with it); each later file that holds the
// key overrides the earlier ones. Window place and theme belong to the user: they are read from and
// written to the user's file only, so nothing is ever written beside the program, which may be
// installed read-only.
#pragma once

#include <QString>
#include <QStringList>

// Every key of the settings files, one spelling for reading and writing.
enum class SettingsKey {
    VendorSelection, // "[product_model] main"
    WindowLeft,
    WindowTop,
    WindowWidth,
    WindowHeight,
    StyleIndex, // the theme: 0 light, 1 dark
};
// The key as QSettings takes it ("/window/left").
QString settingsKeyName(SettingsKey key);

// The user's settings file (Linux: ~/.config/cameracontrol/product.ini).
QString userSettingsFile();
// The files that may hold the vendor selection, in reading order: the system's configuration
// folders (Linux: $XDG_CONFIG_DIRS, /etc/xdg by default; the most important one last), the user's
// file, product.ini beside the program.
QStringList vendorSelectionFiles();
// The vendor index from the last of those files that holds it; 0 when none does.
int readVendorSelection();
