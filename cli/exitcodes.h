// The exit codes of cameracontrol-cli, which scripts rely on (documented in the README).
#pragma once

enum class ExitCode : int {
    Success = 0,
    Failed = 1,            // declined at the question, or an error of no other kind
    BadArguments = 2,      // usage, unknown setting, value outside the table or the limits
    NoSuchCamera = 3,      // none present, none matches, several match, none in an updater stage
    CameraUnavailable = 4, // the camera cannot be opened: in use, or not permitted
    SettingRefused = 5,    // refused, not confirmed, not offered now, or did not come back
    PackageRefused = 6,    // not a package, corrupted, or for another model
    UpgradeFailed = 7,
};
