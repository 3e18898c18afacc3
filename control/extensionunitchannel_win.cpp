// The vendor extension unit through Media Foundation device sources and the kernel-streaming
// topology of the activated source.
#include "control/extensionunitchannel.h"

#include "common/comref_win.h"
#include "control/ksrequests.h"
#include "control/uvcextensionunit.h"

#include <windows.h>

#include <ks.h>
#include <ksproxy.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#if __has_include(<vidcap.h>)
#include <vidcap.h>
#else
// Toolchains without the DirectShow capture headers (MinGW-w64): the interface as vidcap.idl
// declares it. A COM object is freed by its own Release(), never deleted through this pointer, so
// the warning about a destructor that is not virtual does not apply (the system headers' own
// interface declarations are exempt from it as system headers).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IKsTopologyInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID *category) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index,
                                                         KSTOPOLOGY_CONNECTION *info) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD node, WCHAR *name, DWORD bufferSize,
                                                   DWORD *nameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID *type) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void **object) = 0;
};
#pragma GCC diagnostic pop
#endif

#include <cstdio>
#include <mutex>

namespace {
// {720D4AC0-7533-11D0-A5D6-28DB04C10000}
const IID kIidKsTopologyInfo = {
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
// {28F54685-06FD-11D2-B27A-00A0C9223196}
const IID kIidKsControl = {
    0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// KSNODETYPE_DEV_SPECIFIC {941C7AC0-C559-11D0-8A2B-00A0C9255AC1}
const GUID kNodeTypeDevSpecific = {
    0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};

PlatformStatus failWith(PlatformFailure &failure, const char *step, HRESULT status) {
    failure = {step, static_cast<PlatformStatus>(status)};
    return failure.status;
}

class MediaFoundationUnit final : public ExtensionUnitDevice {
public:
    MediaFoundationUnit(ComRef<IMFMediaSource> source, ComRef<IMFSourceReader> reader)
        : mediaSource(std::move(source))
        , sourceReader(std::move(reader)) {}

    PlatformStatus request(std::uint32_t selector, UnitDirection direction, std::uint8_t *data,
                           std::uint32_t length, PlatformFailure &failure) override {
        ComRef<IKsTopologyInfo> topology;
        HRESULT status = mediaSource->QueryInterface(kIidKsTopologyInfo, topology.putVoid());
        if (FAILED(status))
            return failWith(failure, "IMFMediaSource::QueryInterface(IKsTopologyInfo)", status);

        DWORD nodes = 0;
        status = topology->get_NumNodes(&nodes);
        if (FAILED(status))
            return failWith(failure, "FindExtensionNode", status);
        if (nodes == 0)
            return failWith(failure, "FindExtensionNode", E_FAIL);
        DWORD node = 0;
        GUID type = GUID_NULL;
        for (; node < nodes; ++node) {
            if (SUCCEEDED(topology->get_NodeType(node, &type)) && type == kNodeTypeDevSpecific)
                break;
        }
        if (node == nodes)
            return failWith(failure, "FindExtensionNode", E_FAIL);
        std::printf("found one xu node\n");
        status = topology->get_NodeType(node, &type);
        if (FAILED(status))
            return failWith(failure, "IKsTopologyInfo->get_NodeType(...)", status);

        ComRef<IUnknown> instance;
        status = topology->CreateNodeInstance(node, IID_IUnknown, instance.putVoid());
        if (FAILED(status))
            return failWith(failure, "ks_topology_info->CreateNodeInstance(...)", status);
        ComRef<IKsControl> control;
        status = instance->QueryInterface(kIidKsControl, control.putVoid());
        if (FAILED(status))
            return failWith(failure, "ks_topology_info->QueryInterface(...)", status);

        NodeRequest nodeRequest =
            encodeNodeRequest(kExtensionUnitSet, selector,
                              direction == UnitDirection::Write ? kWriteFlags : kReadFlags, node);
        ULONG returned = 0;
        status = control->KsProperty(reinterpret_cast<PKSPROPERTY>(nodeRequest.data()),
                                     ULONG(nodeRequest.size()), data, length, &returned);
        if (FAILED(status))
            return failWith(failure, "ks_control->KsProperty(...)", status);
        return static_cast<PlatformStatus>(status);
    }

private:
    ComRef<IMFMediaSource> mediaSource;
    ComRef<IMFSourceReader> sourceReader; // held open with the source, never read from
};

class MediaFoundationSources final : public ExtensionUnitBackend {
public:
    ~MediaFoundationSources() override { releaseDevices(); }

    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) override {
        std::lock_guard<std::mutex> lock(mutex);
        sources.clear();
        releaseDevices();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        MFStartup(0x00020070, MFSTARTUP_FULL);

        HRESULT status = MFCreateAttributes(attributes.put(), 1);
        if (FAILED(status))
            return failWith(failure, "Create attribute store", status), false;
        status = attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                                     MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
        if (FAILED(status))
            return failWith(failure, "Video capture device SetGUID", status), false;
        status = MFEnumDeviceSources(attributes.get(), &devices, &deviceCount);
        if (FAILED(status)) {
            deviceCount = 0;
            return failWith(failure, "Device enumeration", status), false;
        }

        for (UINT32 i = 0; i < deviceCount; ++i) {
            CaptureSourceInfo info;
            info.hasFriendlyName =
                readString(devices[i], MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, info.friendlyName);
            info.hasSymbolicLink =
                readString(devices[i], MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                           info.symbolicLink);
            sources.push_back(info);
        }
        return true;
    }

    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (position >= deviceCount) {
            failWith(failure, "Activating video device", E_INVALIDARG);
            return nullptr;
        }
        ComRef<IMFMediaSource> source;
        HRESULT status = devices[position]->ActivateObject(IID_IMFMediaSource, source.putVoid());
        if (FAILED(status)) {
            failWith(failure, "Activating video device", status);
            return nullptr;
        }
        ComRef<IMFSourceReader> reader;
        status = MFCreateSourceReaderFromMediaSource(source.get(), attributes.get(), reader.put());
        if (FAILED(status)) {
            failWith(failure, "Creating video source reader", status);
            return nullptr;
        }
        return std::make_unique<MediaFoundationUnit>(source, reader);
    }

private:
    static bool readString(IMFActivate *device, REFGUID key, std::string &text) {
        WCHAR *value = nullptr;
        UINT32 length = 0;
        if (FAILED(device->GetAllocatedString(key, &value, &length)))
            return false;
        text = utf8FromWide(value);
        CoTaskMemFree(value);
        return true;
    }

    void releaseDevices() {
        for (UINT32 i = 0; i < deviceCount; ++i)
            devices[i]->Release();
        CoTaskMemFree(devices);
        devices = nullptr;
        deviceCount = 0;
        attributes.reset();
    }

    std::mutex mutex;
    ComRef<IMFAttributes> attributes;
    IMFActivate **devices = nullptr;
    UINT32 deviceCount = 0;
};
} // namespace

ExtensionUnitBackend &nativeExtensionUnitBackend() {
    static MediaFoundationSources backend;
    return backend;
}
