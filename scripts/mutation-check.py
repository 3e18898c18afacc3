#!/usr/bin/env python3
"""Measures how many small deliberate faults the test suite catches.

Each fault below replaces one exact snippet of the product code (a flipped comparison, a bound off
by one, a dropped call, a wrong byte or constant, a swapped branch). For each fault the script
applies it, rebuilds incrementally, runs the whole suite (stopping at the first failing program)
and restores the file. A fault is "killed" when the suite fails, "survived" when it passes and
"invalid" when it does not compile. Takes about a minute per fault; not run by CI.

Usage: scripts/mutation-check.py [--build-dir DIR] [--only ID,ID...] [--check] [--report FILE]
  --check   only verifies that every snippet occurs exactly once
"""

import argparse
import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# (id, file, original snippet, replacement). Every snippet occurs exactly once in its file.
FAULTS = [
    # --- device/
    ("cat-digits", "device/catalogue.cpp",
     "const int digitsFrom = start + marker.size();",
     "const int digitsFrom = start + marker.size() + 1;"),
    ("cat-converted", "device/catalogue.cpp", "return converted;", "return true;"),
    ("cat-case", "device/catalogue.cpp",
     "if (friendlyName.contains(model.modelName, Qt::CaseInsensitive))",
     "if (friendlyName.contains(model.modelName, Qt::CaseSensitive))"),
    ("cat-ids", "device/catalogue.cpp",
     "static_cast<std::uint32_t>(model.productId) == productId)",
     "static_cast<std::uint32_t>(model.productId) >= productId)"),
    ("cat-presenter", "device/catalogue.cpp",
     '{3, QObject::tr("Presenter Tracking")}', '{2, QObject::tr("Presenter Tracking")}'),
    ("cat-noindex", "device/catalogue.cpp",
     "            return i;\n    }\n    return -1;", "            return i;\n    }\n    return 0;"),
    ("dsw-idpath", "device/cameradevice.cpp",
     "return devicePath.mid(first + 1, last - first - 1);",
     "return devicePath.mid(first + 1, last - first);"),
    ("dsw-surrogate", "device/dshowcamerawrapper.cpp", "--length;", "length += 0;"),
    ("dsw-unreadable", "device/dshowcamerawrapper.cpp",
     "if (!input.propertiesReadable)\n            continue;",
     "if (false)\n            continue;"),
    ("dsw-mic", "device/dshowcamerawrapper.cpp",
     'QLatin1String("MIC"), Qt::CaseInsensitive', 'QLatin1String("MIC"), Qt::CaseSensitive'),
    ("dsw-counter", "device/dshowcamerawrapper.cpp", "        ++counter;\n", "\n"),
    ("dsw-bind-or", "device/dshowcamerawrapper.cpp",
     "if (id != deviceId || name != friendlyName)", "if (id != deviceId && name != friendlyName)"),
    ("dsw-gtilt", "device/dshowcamerawrapper.cpp", "g_tilt = deviceValue;", "g_pan = deviceValue;"),
    ("dsw-setneg", "device/dshowcamerawrapper.cpp",
     "camera->set(static_cast<CameraControlId>(property), value, reason)",
     "camera->set(static_cast<CameraControlId>(property), -value, reason)"),
    ("v4l-digit", "device/v4l2node_linux.cpp", "c > '9' ||", "c > '8' ||"),
    ("v4l-capture", "device/v4l2node_linux.cpp",
     "return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;", "return caps != 0;"),
    ("v4l-ordinal", "device/v4l2node_linux.cpp", "if (other >= number)", "if (other > number)"),
    ("v4l-round", "device/v4l2node_linux.cpp", "std::round(", "std::floor("),
    ("v4l-arcsec", "device/v4l2node_linux.cpp", "degrees * 3600;", "degrees * 360;"),
    ("v4l-erase", "device/v4l2node_linux.cpp", "        names.erase(it);\n", "\n"),
    ("v4l-card", "device/v4l2node_linux.cpp",
     "if (!info.hasFriendlyName && !card.empty()) {", "if (!card.empty()) {"),
    ("vin-tilt", "device/videoinputs_linux.cpp",
     "return V4L2_CID_TILT_ABSOLUTE;", "return V4L2_CID_PAN_ABSOLUTE;"),
    ("vin-refused", "device/videoinputs_linux.cpp",
     "if (retryIoctl(fd, VIDIOC_S_CTRL, &control) == 0)\n            return true;",
     "if (retryIoctl(fd, VIDIOC_S_CTRL, &control) == 0 || true)\n            return true;"),
    ("vin-arcsec", "device/videoinputs_linux.cpp",
     "return property == CameraControlId::Pan || property == CameraControlId::Tilt;",
     "return property == CameraControlId::Pan;"),
    ("cif-parts", "device/captureinterfacefilter.cpp", "if (parts.size() != 4)", "if (parts.size() < 4)"),
    ("cif-ordinal", "device/captureinterfacefilter.cpp", "instance.at(3)", "instance.at(2)"),
    ("ifn-ordinal", "device/interfacename.cpp", "parts.nodeOrdinal & 0xFFFFu", "parts.nodeOrdinal + 1"),
    # --- control/
    ("xu-wrap", "control/uvcextensionunit.cpp", "if (sequenceCounter > 255)", "if (sequenceCounter > 254)"),
    ("xu-argpos", "control/uvcextensionunit.cpp",
     "XuPacket packet{{code, nextSequence(), argument, 0, 0, 0, 0, 0}};",
     "XuPacket packet{{code, nextSequence(), 0, argument, 0, 0, 0, 0}};"),
    ("xu-readseq", "control/uvcextensionunit.cpp",
     "XuPacket buffer{{code, nextSequence(), 0, 0, 0, 0, 0, 0}};",
     "XuPacket buffer{{code, 0, 0, 0, 0, 0, 0, 0}};"),
    ("xu-readsel", "control/uvcextensionunit.cpp",
     "kSelectorResponse, kReadFlags", "kSelectorCommand, kReadFlags"),
    ("xu-foreignset", "control/uvcextensionunit.cpp",
     "if (propertySet != kExtensionUnitSet) {", "if (propertySet == kCameraControlSet) {"),
    ("xu-seqreset", "control/uvcextensionunit.cpp",
     "        sequenceCounter = 0;\n    }", "    }"),
    ("xu-value", "control/uvcextensionunit.cpp", "value = response[2];", "value = response[3];"),
    ("xu-minor", "control/uvcextensionunit.cpp",
     "const int minor = response[4] * 256 + response[5];",
     "const int minor = response[5] * 256 + response[4];"),
    ("xu-zero", "control/uvcextensionunit.cpp",
     "if (major == 0 && minor == 0 && patch == 0)", "if (major == 0 && minor == 0)"),
    ("xu-upgradesel", "control/uvcextensionunit.cpp",
     "sendCommand(kSelectorUpgrade, kCmdEnterUpgrade, 0)",
     "sendCommand(kSelectorCommand, kCmdEnterUpgrade, 0)"),
    ("xu-restorearg", "control/uvcextensionunit.cpp",
     "kCmdRestoreDefaults, 0)", "kCmdRestoreDefaults, 1)"),
    ("xu-speedcode", "control/uvcextensionunit.cpp",
     "kCmdTrackingSpeed, lowByte(speed)", "kCmdTrackingEffect, lowByte(speed)"),
    ("xu-nameignored", "control/uvcextensionunit.cpp",
     "if (!link.contains(deviceId, Qt::CaseInsensitive) || name != friendlyName)",
     "if (!link.contains(deviceId, Qt::CaseInsensitive) || (name != friendlyName && name.isEmpty()))"),
    ("xu-querylock", "control/uvcextensionunit.cpp",
     "    QMutexLocker locker(&requestMutex);\n    return queryLocked(code, response);",
     "    return queryLocked(code, response);"),
    ("desc-ifnum", "control/uvcdescriptors.cpp",
     "descriptor[2] == interfaceNumber", "descriptor[3] == interfaceNumber"),
    ("desc-unitid", "control/uvcdescriptors.cpp", "return descriptor[3];", "return descriptor[2];"),
    ("desc-config", "control/uvcdescriptors.cpp",
     "            inVideoControl = false;\n", "\n"),
    ("ks-guid", "control/ksrequests.cpp",
     "bytes[6] = static_cast<std::uint8_t>(guid.data3);",
     "bytes[6] = static_cast<std::uint8_t>(guid.data3 >> 8);"),
    ("ks-node", "control/ksrequests.cpp", "putLe32(request, 24, nodeId);",
     "putLe32(request, 24, nodeId & 0xFF);"),
    ("ks-caps", "control/ksrequests.cpp",
     "putLe32(record, 32, kCameraControlFlagsManual);", "putLe32(record, 32, 0);"),
    ("xul-getcur", "control/extensionunitchannel_linux.cpp",
     "UVC_SET_CUR : UVC_GET_CUR", "UVC_SET_CUR : UVC_GET_DEF"),
    ("xul-selector", "control/extensionunitchannel_linux.cpp",
     "query.selector = static_cast<__u8>(selector);",
     "query.selector = static_cast<__u8>(selector + 1);"),
    ("xul-errok", "control/extensionunitchannel_linux.cpp",
     'failure = failureFromErrno("UVCIOC_CTRL_QUERY", errno);',
     'failure = {"UVCIOC_CTRL_QUERY", kStatusOk};'),
    # --- preview/
    ("v4l-wakeup", "preview/v4l2capture_linux.cpp", "if (fds[1].revents & POLLIN)",
     "if (false)"),
    ("vst-size-and", "preview/videostreamthread.cpp",
     "if (width != wantedWidth || height != wantedHeight) {",
     "if (width != wantedWidth && height != wantedHeight) {"),
    ("vst-height", "preview/videostreamthread.cpp",
     "constexpr double wantedHeight = 1080.0;", "constexpr double wantedHeight = 720.0;"),
    ("vst-swap", "preview/videostreamthread.cpp",
     "QImage::Format_RGB888)\n            .rgbSwapped();", "QImage::Format_RGB888);"),
    ("vst-nullimage", "preview/videostreamthread.cpp", "if (!image.isNull())", "if (true)"),
    ("vst-nopause", "preview/videostreamthread.cpp", "activeClock().sleepFor(failedReadPause);",
     "activeClock().sleepFor(failedReadPause * 0);"),
    ("vst-release", "preview/videostreamthread.cpp", "    capture.reset();\n", "\n"),
    # --- ui/
    ("mw-displayname", "device/cameralist.cpp",
     "friendlyName.size() > kDisplayNameLimit_characters",
     "friendlyName.size() < kDisplayNameLimit_characters"),
    ("mw-vendorfilter", "device/cameralist.cpp",
     "camera.vendorId != static_cast<std::uint32_t>(vendorId))",
     "camera.vendorId == static_cast<std::uint32_t>(vendorId))"),
    ("mw-emptyupgrading", "ui/mainwindow.cpp", "} else if (!upgradeUnderWay()) {", "} else {"),
    ("mw-restrictvendor", "control/camerasettings.cpp",
     "if (vendorIndex != kProductLineZenta)\n        return controls;",
     "if (vendorIndex == kProductLineZenta)\n        return controls;"),
    ("mw-unplug", "ui/mainwindow.cpp",
     "if (!plug && path.contains(currentDeviceId, Qt::CaseInsensitive)) {",
     "if (plug && path.contains(currentDeviceId, Qt::CaseInsensitive)) {"),
    ("mw-closeupgrading", "ui/mainwindow.cpp",
     "    if (upgradeFlow->isUpgrading()) {\n        FormCustomizeMessagebox refusal",
     "    if (false) {\n        FormCustomizeMessagebox refusal"),
    ("mw-aspect", "ui/mainwindow.cpp", "const int height = width * 9 / 16;", "const int height = width * 9 / 15;"),
    ("mw-centre", "ui/mainwindow.cpp",
     "const int x = pos().x() + (width() - dialog.width()) / 2;",
     "const int x = pos().x() + (width() - dialog.width());"),
    ("mw-stopicon", "ui/mainwindow.cpp",
     "else if (watched == ui->labelStop)\n        previewStopPressed();",
     "else if (watched == ui->labelStop)\n        previewStartPressed();"),
    ("cp-limit", "control/camerasettings.h",
     "constexpr int kPanTiltLimit_deg = 30;", "constexpr int kPanTiltLimit_deg = 31;"),
    ("cp-up", "ui/mainwindow_controlpage.cpp",
     "g_tilt = qMin(g_tilt + 1, kPanTiltLimit_deg);", "g_tilt = qMin(g_tilt - 1, kPanTiltLimit_deg);"),
    ("cp-padzoom", "ui/mainwindow_controlpage.cpp",
     "setPadEnabled(*ui, enable && padMovesAtZoom(g_zoom));", "setPadEnabled(*ui, enable);"),
    ("cp-legacyversion", "control/camerasession.cpp",
     "unit.getFirmwareVersion(kQueryVersionLegacy, version)",
     "unit.getFirmwareVersion(kQueryVersion, version)"),
    ("cp-zoombound", "control/camerasession.cpp",
     "    g_zoom = qBound(kZoomMinimum_percent, g_zoom, kZoomMaximum_percent);\n", "\n"),
    ("cp-320", "control/camerasettings.cpp",
     "kModelZenta320)\n        controls.trackingMode = false;",
     "kModelZenta320)\n        controls.trackingMode = true;"),
    ("cp-timeout", "ui/mainwindow_controlpage.cpp",
     "if (!cameraSession.writeSetting(setting, value))",
     "if (cameraSession.writeSetting(setting, value))"),
    ("cp-speedrow", "ui/mainwindow_controlpage.cpp",
     "setSpeedRowVisible(*ui, speedRowShownForEffect(value));",
     "setSpeedRowVisible(*ui, !speedRowShownForEffect(value));"),
    ("cp-restorefail", "control/camerasession.cpp",
     "if (!unit.restoreDefaults()) {", "if (unit.restoreDefaults()) {"),
    ("cp-speedmode", "ui/mainwindow_controlpage.cpp",
     "    if (!settingWritableInMode(CameraSetting::TrackingSpeed,\n"
     "                               cameraSession.readValue(CameraSetting::TrackingMode)))\n",
     "    if (!cameraSession.readValue(CameraSetting::TrackingMode))\n"),
    ("cp-axis", "ui/mainwindow_controlpage.cpp",
     "towardsLower->setEnabled(false);", "towardsUpper->setEnabled(false);"),
    ("cp-rememberzoom", "ui/mainwindow_controlpage.cpp",
     "    cameraSession.move(CameraControlId::Zoom, g_zoom);\n", "\n"),
    ("pv-notrunning", "ui/mainwindow_preview.cpp",
     "if (qpixmap.isNull() || cameraLost || !previewRunning) {",
     "if (qpixmap.isNull() || cameraLost) {"),
    ("pv-serial", "ui/mainwindow_preview.cpp",
     "if (videoWorker && run == previewRunSerial)", "if (videoWorker)"),
    ("pv-stophint", "ui/mainwindow_preview.cpp",
     "    videoWorker = nullptr;\n    // The last picture shown is not left standing",
     "    videoWorker = nullptr;\n    return;\n    // The last picture shown is not left standing"),
    ("pv-notready", "ui/mainwindow_preview.cpp",
     "    if (!controlsReady) {\n        previewRunning = false;",
     "    if (false) {\n        previewRunning = false;"),
    ("up-model", "upgrade/packagesequence.cpp",
     "packageModel != cameraModel)", "packageModel == cameraModel)"),
    ("up-ceiling", "ui/upgradeflow.cpp",
     "dummyProgress = qMin(dummyProgress + step, kDummyProgressCeiling);",
     "dummyProgress = dummyProgress + step;"),
    ("up-partial", "ui/upgradeflow.cpp",
     "if (ok && progress != kProgressDone)", "if (ok && progress == kProgressDone)"),
    ("up-abnormalbusy", "ui/upgradeflow.cpp",
     "if (upgrading || abnormalPromptOpen)", "if (abnormalPromptOpen)"),
    ("up-step", "ui/upgradeflow.cpp",
     "constexpr int kDummyProgressMinimumStep = 2;", "constexpr int kDummyProgressMinimumStep = 1;"),
    ("up-button", "ui/upgradeflow.cpp",
     "    upgradeButton->setEnabled(false);\n", "\n"),
    ("up-onereport", "ui/upgradeflow.cpp", "if (!awaitingReport) {", "if (false) {"),
    ("ap-dark", "ui/mainwindow_appearance.cpp",
     'changeStyle(QStringLiteral(":/qss/dark.css"));', 'changeStyle(QStringLiteral(":/qss/light.css"));'),
    ("ap-toggle", "ui/mainwindow_appearance.cpp", "    darkModeToggle = !darkModeToggle;\n", "\n"),
    ("ap-reachable", "ui/mainwindow_appearance.cpp",
     "return visible.width() >= std::min(kReachableTopEdgeWidth, windowWidth) &&",
     "return visible.width() >= 0 &&"),
    ("ap-savetop", "ui/mainwindow_appearance.cpp",
     "settingsKeyName(SettingsKey::WindowTop), QString::number(frame.y())",
     "settingsKeyName(SettingsKey::WindowTop), QString::number(frame.x())"),
    ("mask-hide", "ui/maskwidget.cpp", "            undim();\n", "            (void)0;\n"),
    ("mask-geometry", "ui/maskwidget.cpp", "        setGeometry(covered->geometry());\n",
     "        (void)covered;\n"),
    ("box-countdown", "ui/formcustomizemessagebox.cpp",
     "constexpr int kCountdownStart_s = 5;", "constexpr int kCountdownStart_s = 4;"),
    ("box-cancel", "ui/formcustomizemessagebox.cpp",
     "form->btnCancel->setVisible(buttons == 1);", "form->btnCancel->setVisible(buttons != 1);"),
    # --- upgrade/
    ("ms-zenta", "upgrade/massstorage.cpp",
     "accepted = kZentaLineVendor;", "accepted = kQxLineVendor;"),
    ("ms-rom", "upgrade/massstorage.cpp", "if (answer[16] == 0)", "if (answer[17] == 0)"),
    ("ms-inquiry", "upgrade/massstorage.cpp",
     "const std::uint8_t cdb[6] = {0x12,", "const std::uint8_t cdb[6] = {0x13,"),
    ("ms-len16", "upgrade/massstorage.cpp",
     "static_cast<std::uint8_t>(length >> 16),", "static_cast<std::uint8_t>(length >> 8),"),
    ("ms-maxpayload", "upgrade/massstorage.cpp",
     "if (length > kMaxPayload || (length > 0 && !buffer))",
     "if (length >= kMaxPayload || (length > 0 && !buffer))"),
    ("ms-headersize", "upgrade/massstorage.cpp",
     "header[4 + i] = static_cast<char>(size >> (8 * i));",
     "header[4 + i] = static_cast<char>((loadAddress + 0 * size) >> (8 * i));"),
    ("ms-firstpause", "upgrade/massstorage.cpp",
     "        if (i > 0)\n            pause(100);", "        pause(100);"),
    ("ms-tries", "upgrade/massstorage.cpp",
     "const int tries = attempts > 0 ? attempts : kDefaultStatusAttempts;",
     "const int tries = attempts > 0 ? attempts - 1 : kDefaultStatusAttempts;"),
    ("ms-ack", "upgrade/massstorage.cpp",
     "return status && status[0] == 0x0D && status[1] == 0x00;",
     "return status && status[0] == 0x0D;"),
    ("ms-lastchunk", "upgrade/massstorage.cpp",
     "if (length - offset <= chunkSize) {", "if (length - offset < chunkSize) {"),
    ("ms-budget", "upgrade/massstorage.cpp",
     "if (retriesSpent >= kChunkRetryBudget) {", "if (retriesSpent > kChunkRetryBudget) {"),
    ("ms-writepause", "upgrade/massstorage.cpp", "size / 20480", "size / 2048"),
    ("ms-attempts", "upgrade/massstorage.cpp",
     "attempt < kImageAttempts && !acknowledged", "attempt <= kImageAttempts && !acknowledged"),
    ("ms-vendorcheck", "upgrade/massstorage.cpp",
     "if (!readInquiry(*device, answer) || !inquiryVendorAccepted(answer, productLineSelector))",
     "if (!readInquiry(*device, answer) || productLineSelector < -1)"),
    ("sc-leading", "upgrade/upgradescript.cpp",
     "pendingBlank = !result.isEmpty();", "pendingBlank = true;"),
    ("sc-percent", "upgrade/upgradescript.cpp",
     "if (line.isEmpty() || line.startsWith('#') || line.startsWith('%'))",
     "if (line.isEmpty() || line.startsWith('#'))"),
    ("sc-estar", "upgrade/upgradescript.cpp", 'if (keyword == "estar") {', 'if (keyword == "ESTAR") {'),
    ("sc-32bit", "upgrade/upgradescript.cpp", "if (value > 0xFFFFFFFFull)", "if (value > 0xFFFFFFFull)"),
    ("sc-longline", "upgrade/upgradescript.cpp",
     "if (line.size() > kMaxScriptCommandLength) {", "if (line.size() >= kMaxScriptCommandLength) {"),
    ("sc-twice", "upgrade/upgradescript.cpp",
     "for (int attempt = 0; attempt < 2; ++attempt) {", "for (int attempt = 0; attempt < 1; ++attempt) {"),
    ("sc-reset", "upgrade/upgradescript.cpp",
     'if (line == "reset" || line == "saveenv")\n            return 0;',
     'if (line == "reset" || line == "saveenv")\n            return -1;'),
    ("sc-nesting", "upgrade/upgradescript.cpp",
     "if (depth > kMaxScriptNesting) {", "if (depth > kMaxScriptNesting + 5) {"),
    ("sc-cr", "upgrade/upgradescript.cpp",
     "    if (line.endsWith('\\r'))\n        line.chop(1);\n", "\n"),
    ("ut-waittries", "upgrade/upgradethread.cpp",
     "if (++tries >= kDeviceWaitTries) {", "if (++tries > kDeviceWaitTries) {"),
    ("ut-settle", "upgrade/upgradethread.cpp",
     "    pause(kBootLoaderSettle_ms);\n    // As long as", "    // As long as"),
    ("ut-rom", "upgrade/upgradethread.cpp",
     "sendRawFile(packageFile(kUpdaterImageName), &delivered) == 0;",
     "sendRawFile(packageFile(kUpdaterImageName), &delivered) != 0;"),
    ("ut-resetstatus", "upgrade/upgradethread.cpp",
     "        sendShellCommand(kResetStatusCommand, sizeof kResetStatusCommand - 1);\n", "\n"),
    ("ut-notready", "upgrade/upgradethread.cpp", "if (!cameraReady) {", "if (false) {"),
    ("ut-done100", "upgrade/upgradethread.cpp",
     'report(true, 100, tr("Upgrade done."));', 'report(true, 99, tr("Upgrade done."));'),
    ("ut-ubootcheck", "upgrade/upgradethread.cpp",
     "bootLoaderReached = waitForUpdaterDevice() && state == UpdaterStateUBoot;",
     "bootLoaderReached = waitForUpdaterDevice();"),
    ("ut-onereport", "upgrade/upgradethread.cpp",
     "    if (reportSent)\n        return;\n", "\n"),
    ("ut-noloader", "upgrade/upgradethread.cpp",
     "if (!QFileInfo::exists(bootLoader)) {", "if (QFileInfo::exists(bootLoader)) {"),
    ("pk-lastpos", "upgrade/packagefiles.cpp",
     "constexpr int kLastModelPosition = 5242859;", "constexpr int kLastModelPosition = 5242860;"),
    ("pk-320skip", "upgrade/packagefiles.cpp", '{"ZENTA 320", 5, 2},', '{"ZENTA 320", -1, 2},'),
    ("pk-kernel", "upgrade/packagefiles.cpp",
     '{kUpgradeScriptName, "boot", "scripts", "kernel"}', '{kUpgradeScriptName, "boot", "scripts"}'),
    ("pk-modelor", "upgrade/packagefiles.cpp",
     "if (!pathExists(entryPath(directory, kPackageImageName)) &&",
     "if (!pathExists(entryPath(directory, kPackageImageName)) ||"),
    ("pk-unpacked", "upgrade/packagefiles.cpp", "if (!unpacked) {", "if (false) {"),
    ("pk-links", "upgrade/packagefiles.cpp",
     "if (pathExists(path) && holdsLink(path)) {", "if (false && holdsLink(path)) {"),
    ("pk-fallback", "upgrade/packagefiles.cpp",
     "        path = entryPath(directory, kPackageModelFileName);\n", "\n"),
    ("ad-none", "upgrade/abnormaldetectthread.cpp",
     "if (found && state != UpdaterStateNone) {", "if (found) {"),
    ("ad-pause", "upgrade/abnormaldetectthread.cpp",
     "found = !paused && findUpdaterDevice", "found = findUpdaterDevice"),
    ("pp-dotdot", "upgrade/packagepath.cpp",
     'if (part == QLatin1String(".."))', 'if (part == QLatin1String("..."))'),
    ("zip-type", "upgrade/zip7z.cpp", "else if (type != AE_IFREG && !folder)", "else if (false)"),
    ("zip-count", "upgrade/zip7z.cpp", "if (entry_bytes > Zip7z::kMaxEntrySize_bytes)", "if (false)"),
    ("sc-linecap", "upgrade/upgradescript.cpp", "if (--run.linesLeft < 0) {", "if (false) {"),
    ("mw-closeunpack", "ui/upgradeflow.cpp", "    if (!packageJob)\n        return false;",
     "    if (true)\n        return false;"),
    ("ad-afterreport", "upgrade/abnormaldetectthread.cpp",
     "            if (!stopSignal.pause(Milliseconds(kAfterReportPause_ms)))\n                break;\n",
     "\n"),
    ("fa-unknownmodel", "upgrade/packagesequence.cpp",
     "    case PackageSequenceOutcome::UnknownModel:\n    case PackageSequenceOutcome::Ready:\n",
     "    case PackageSequenceOutcome::UnknownModel:\n        return PackageVerdict::Corrupted;\n"
     "    case PackageSequenceOutcome::Ready:\n"),
    ("pt-sense", "upgrade/scsipassthrough.cpp", "buffer[7] = kSenseLength;", "buffer[7] = 0;"),
    ("pt-target", "upgrade/scsipassthrough.cpp", "request.targetId = 1;", "request.targetId = 0;"),
]


def check_snippets(faults):
    ok = True
    ids = set()
    for fault_id, path, original, _ in faults:
        if fault_id in ids:
            print(f"duplicate id {fault_id}")
            ok = False
        ids.add(fault_id)
        text = (ROOT / path).read_text()
        count = text.count(original)
        if count != 1:
            print(f"{fault_id}: snippet occurs {count} times in {path}")
            ok = False
    return ok


def run(command, log):
    return subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT).returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default="build-mutation")
    parser.add_argument("--only", default="")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--report", default="")
    args = parser.parse_args()

    selected = [f for f in FAULTS if not args.only or f[0] in args.only.split(",")]
    if not check_snippets(selected):
        return 2
    if args.check:
        print(f"{len(selected)} faults, every snippet found once")
        return 0

    build = pathlib.Path(args.build_dir)
    if not build.is_absolute():
        build = ROOT / build
    jobs = str(os.cpu_count() or 2)
    log_path = build.with_name(build.name + ".log")
    report = open(args.report, "w") if args.report else None

    def emit(line):
        print(line, flush=True)
        if report:
            report.write(line + "\n")
            report.flush()

    with open(log_path, "w") as log:
        configure = ["cmake", "-S", ".", "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DCC_BUILD_BENCHMARKS=OFF", "-DCC_BUILD_DEMO=OFF"]
        if run(configure, log) or run(["cmake", "--build", str(build), "-j", jobs], log):
            print(f"the unchanged tree does not build; see {log_path}")
            return 2
        test = ["ctest", "--test-dir", str(build), "-j", jobs, "--stop-on-failure",
                "--timeout", "120", "-Q"]
        if run(test, log):
            print(f"the unchanged tree fails its tests; see {log_path}")
            return 2

        started = time.time()
        counts = {"killed": 0, "survived": 0, "invalid": 0}
        survivors = []
        for fault_id, path, original, replacement in selected:
            source = ROOT / path
            text = source.read_text()
            began = time.time()
            try:
                source.write_text(text.replace(original, replacement, 1))
                if run(["cmake", "--build", str(build), "-j", jobs], log):
                    verdict = "invalid"
                elif run(test, log):
                    verdict = "killed"
                else:
                    verdict = "survived"
                    survivors.append(f"{fault_id} ({path})")
            finally:
                source.write_text(text)
            counts[verdict] += 1
            emit(f"{verdict:8} {fault_id:18} {path} ({time.time() - began:.0f} s)")
        run(["cmake", "--build", str(build), "-j", jobs], log)

        valid = counts["killed"] + counts["survived"]
        rate = 100.0 * counts["killed"] / valid if valid else 0.0
        emit(f"killed {counts['killed']} of {valid} faults ({rate:.1f} %), "
             f"{counts['invalid']} did not compile, {time.time() - started:.0f} s")
        if survivors:
            emit("survived: " + ", ".join(survivors))
    if report:
        report.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
