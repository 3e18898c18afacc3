// The vendor extension unit through Media Foundation device sources. Media Foundation is loaded at
// run time: editions of Windows without it (N and KN editions without the media pack, trimmed
// images) must still start the program, which then works without the extension unit.
#include "control/extensionunitchannel.h"

#include "common/comref_win.h"
#include "control/mediafoundationunit_win.h"

#include <QDebug>

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <mutex>

namespace {
PlatformStatus failWith(PlatformFailure &failure, const char *step, HRESULT status) {
    failure = {step, static_cast<PlatformStatus>(status)};
    return failure.status;
}

// Without Media Foundation every open fails with E_NOTIMPL, which the window takes as "no way to
// the unit on this system" and then opens the camera without its own settings.
static_assert(E_NOTIMPL == kStatusNotImplemented, "E_NOTIMPL");

// The Media Foundation functions this back end calls, resolved from the system's own DLLs.
struct MediaFoundationApi {
    decltype(&MFStartup) startup = nullptr;
    decltype(&MFShutdown) shutdown = nullptr;
    decltype(&MFCreateAttributes) createAttributes = nullptr;
    decltype(&MFEnumDeviceSources) enumDeviceSources = nullptr;
    decltype(&MFCreateSourceReaderFromMediaSource) createSourceReader = nullptr;
    HRESULT loadStatus = E_NOTIMPL;
};

template <typename Function>
bool resolve(HMODULE module, const char *name, Function &function) {
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    // Through the generic function pointer type, which GCC accepts as a cast to any other.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return function != nullptr;
}

MediaFoundationApi loadMediaFoundation() {
    MediaFoundationApi api;
    // From the system folder only: the program's own folder may be writable by anyone.
    HMODULE platform = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    HMODULE core = LoadLibraryExW(L"mf.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    HMODULE readers = LoadLibraryExW(L"mfreadwrite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!platform || !core || !readers) {
        qWarning("Media Foundation is not installed: the camera's vendor settings are not "
                 "available (error %lu)",
                 GetLastError());
        return api;
    }
    const bool complete =
        resolve(platform, "MFStartup", api.startup) &&
        resolve(platform, "MFShutdown", api.shutdown) &&
        resolve(platform, "MFCreateAttributes", api.createAttributes) &&
        resolve(core, "MFEnumDeviceSources", api.enumDeviceSources) &&
        resolve(readers, "MFCreateSourceReaderFromMediaSource", api.createSourceReader);
    if (!complete) {
        qWarning("Media Foundation lacks a function: the camera's vendor settings are not "
                 "available");
        return api;
    }
    api.loadStatus = S_OK;
    return api;
}

const MediaFoundationApi &mediaFoundation() {
    static const MediaFoundationApi api = loadMediaFoundation();
    return api;
}

// One MFStartup, balanced by MFShutdown when the last holder lets go.
std::shared_ptr<void> startMediaFoundation(PlatformFailure &failure) {
    const MediaFoundationApi &api = mediaFoundation();
    if (FAILED(api.loadStatus))
        return failWith(failure, "Media Foundation", api.loadStatus), nullptr;
    // E_NOTIMPL where the media components are missing though the DLLs are there.
    const HRESULT status = api.startup(MF_VERSION, MFSTARTUP_FULL);
    if (FAILED(status))
        return failWith(failure, "Media Foundation", status), nullptr;
    static char token;
    return std::shared_ptr<void>(&token, [](void *) { mediaFoundation().shutdown(); });
}

bool readString(IMFActivate *device, REFGUID key, std::string &text) {
    WCHAR *value = nullptr;
    UINT32 length = 0;
    if (FAILED(device->GetAllocatedString(key, &value, &length)))
        return false;
    text = utf8FromWide(value);
    CoTaskMemFree(value);
    return true;
}

// The video capture sources of one enumeration, released with it.
class SourceList {
public:
    SourceList() = default;
    ~SourceList() {
        for (UINT32 i = 0; i < count; ++i)
            devices[i]->Release();
        CoTaskMemFree(devices);
    }
    SourceList(const SourceList &) = delete;
    SourceList &operator=(const SourceList &) = delete;

    bool enumerate(PlatformFailure &failure) {
        const MediaFoundationApi &api = mediaFoundation();
        HRESULT status = api.createAttributes(attributes.put(), 1);
        if (FAILED(status))
            return failWith(failure, "Create attribute store", status), false;
        status = attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                                     MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
        if (FAILED(status))
            return failWith(failure, "Video capture device SetGUID", status), false;
        status = api.enumDeviceSources(attributes.get(), &devices, &count);
        if (FAILED(status)) {
            devices = nullptr;
            count = 0;
            return failWith(failure, "Device enumeration", status), false;
        }
        return true;
    }

    CaptureSourceInfo info(UINT32 i) const {
        CaptureSourceInfo info;
        info.hasFriendlyName =
            readString(devices[i], MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, info.friendlyName);
        info.hasSymbolicLink = readString(
            devices[i], MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, info.symbolicLink);
        return info;
    }

    ComRef<IMFAttributes> attributes;
    IMFActivate **devices = nullptr;
    UINT32 count = 0;
};

// Each call starts Media Foundation for itself and lists the sources afresh; an opened unit keeps
// Media Foundation started until it is closed. Nothing is left to shut down at process exit, where
// MFShutdown must not run.
class MediaFoundationSources final : public ExtensionUnitBackend {
public:
    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) override {
        std::lock_guard<std::mutex> lock(mutex);
        sources.clear();
        listed.clear();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const std::shared_ptr<void> started = startMediaFoundation(failure);
        if (!started)
            return false;
        SourceList list;
        if (!list.enumerate(failure))
            return false;
        for (UINT32 i = 0; i < list.count; ++i)
            sources.push_back(list.info(i));
        listed = sources;
        return true;
    }

    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override {
        std::lock_guard<std::mutex> lock(mutex);
        std::shared_ptr<void> started = startMediaFoundation(failure);
        if (!started)
            return nullptr;
        SourceList list;
        if (!list.enumerate(failure))
            return nullptr;
        // The source must still be the one the caller chose from the last enumeration.
        if (position >= listed.size() || position >= list.count ||
            list.info(UINT32(position)).symbolicLink != listed[position].symbolicLink) {
            failWith(failure, "Activating video device", E_INVALIDARG);
            return nullptr;
        }
        ComRef<IMFMediaSource> source;
        HRESULT status =
            list.devices[position]->ActivateObject(IID_IMFMediaSource, source.putVoid());
        if (FAILED(status)) {
            failWith(failure, "Activating video device", status);
            return nullptr;
        }
        ComRef<IMFSourceReader> reader;
        status =
            mediaFoundation().createSourceReader(source.get(), list.attributes.get(), reader.put());
        if (FAILED(status)) {
            failWith(failure, "Creating video source reader", status);
            return nullptr;
        }
        return createMediaFoundationUnit(source.get(), reader.get(), std::move(started));
    }

private:
    std::mutex mutex;
    std::vector<CaptureSourceInfo> listed;
};
} // namespace

ExtensionUnitBackend &nativeExtensionUnitBackend() {
    static MediaFoundationSources backend;
    return backend;
}
