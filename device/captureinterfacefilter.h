// Decides whether an arrival or removal of a video capture interface concerns a camera the window
// lists: the first capture node of a USB video function. The interface name has the form
//   \\?\usb#vid_XXXX&pid_YYYY&mi_NN#<a>&<b>&<c>&<ordinal>#{class}\global
// and only ordinal "0000" is a camera; other ordinals are further nodes of the same function.
#pragma once

#include <QString>

enum class CaptureInterfaceOutcome {
    Camera,    // the first capture node: the camera list must follow
    OtherNode, // a further node of the same function: ignored silently
    Malformed, // not a name of the expected shape
};

// Classifies one event and writes its trace line ("usb camera in", "usb camera out" or
// "camera logic error").
CaptureInterfaceOutcome classifyCaptureInterfaceEvent(bool arrival, const QString &interfaceName);
