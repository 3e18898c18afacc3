// Video inputs through DirectShow's system device enumerator; the standard camera controls through
// IKsControl on the bound capture filter.
#include "device/directshowcontrols_win.h"
#include "device/videoinputs.h"

#include "common/comref_win.h"
#include "control/ksrequests.h"

#include <windows.h>

#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>

#include <cstdio>
#include <mutex>

namespace {
std::string readStringProperty(IPropertyBag *bag, const wchar_t *name, bool &ok) {
    VARIANT value;
    VariantInit(&value);
    std::string text;
    ok = SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR;
    if (ok)
        text = utf8FromWide(value.bstrVal);
    VariantClear(&value);
    return text;
}

class DirectShowControls final : public CameraControls {
public:
    explicit DirectShowControls(IUnknown *boundFilter)
        : filter(boundFilter) {}

    bool get(CameraControlId property, std::int32_t &value) override {
        return request(property, kPropertyTypeGet, value);
    }

    bool set(CameraControlId property, std::int32_t value, std::string &reason) override {
        return request(property, kPropertyTypeSet, value, &reason);
    }

private:
    bool request(CameraControlId property, std::uint32_t flags, std::int32_t &value,
                 std::string *reason = nullptr) {
        ComRef<IKsControl> control;
        if (FAILED(filter->QueryInterface(IID_IKsControl, control.putVoid()))) {
            if (reason)
                *reason = "the filter offers no IKsControl";
            return false;
        }
        // One record serves as property and as data; the device writes the value back on a read.
        CameraControlRecord record =
            encodeCameraControlRecord(static_cast<std::uint32_t>(property), flags, value);
        ULONG returned = 0;
        const HRESULT status =
            control->KsProperty(reinterpret_cast<PKSPROPERTY>(record.data()), ULONG(record.size()),
                                record.data(), ULONG(record.size()), &returned);
        if (flags == kPropertyTypeGet)
            value = cameraControlRecordValue(record);
        if (FAILED(status) && reason) {
            char text[48];
            std::snprintf(text, sizeof text, "KsProperty: 0x%08lX",
                          static_cast<unsigned long>(status));
            *reason = text;
        }
        return SUCCEEDED(status);
    }

    ComRef<IUnknown> filter;
};

class DirectShowVideoInputs final : public VideoInputBackend {
public:
    bool available() override {
        CoInitialize(nullptr);
        ComRef<ICreateDevEnum> devices;
        return SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_ICreateDevEnum, devices.putVoid()));
    }

    std::vector<VideoInputInfo> list() override {
        std::lock_guard<std::mutex> lock(mutex);
        monikers.clear();
        std::vector<VideoInputInfo> result;
        CoInitialize(nullptr);
        ComRef<ICreateDevEnum> devices;
        if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICreateDevEnum, devices.putVoid())))
            return result;
        ComRef<IEnumMoniker> category;
        // S_FALSE: the category is empty.
        if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, category.put(), 0) !=
            S_OK)
            return result;

        ComRef<IMoniker> moniker;
        while (category->Next(1, moniker.put(), nullptr) == S_OK) {
            VideoInputInfo info;
            LPOLESTR displayName = nullptr;
            if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &displayName))) {
                info.hasDisplayName = true;
                info.displayName = utf8FromWide(displayName);
                ComRef<IMalloc> allocator;
                if (SUCCEEDED(CoGetMalloc(1, allocator.put())))
                    allocator->Free(displayName);
            }
            ComRef<IPropertyBag> bag;
            if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()))) {
                info.propertiesReadable = false;
            } else {
                bool ok = false;
                readStringProperty(bag.get(), L"Description", ok);
                info.devicePath = readStringProperty(bag.get(), L"DevicePath", ok);
                info.hasDevicePath = ok;
                info.friendlyName = readStringProperty(bag.get(), L"FriendlyName", ok);
                info.hasFriendlyName = ok;
            }
            result.push_back(info);
            monikers.push_back(moniker);
        }
        return result;
    }

    std::unique_ptr<CameraControls> bind(std::size_t position) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (position >= monikers.size())
            return nullptr;
        ComRef<IBaseFilter> filter;
        if (FAILED(monikers[position]->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                    filter.putVoid())))
            return nullptr;
        return createDirectShowControls(filter.get());
    }

private:
    std::mutex mutex;
    std::vector<ComRef<IMoniker>> monikers;
};
} // namespace

std::unique_ptr<CameraControls> createDirectShowControls(IUnknown *filter) {
    return std::make_unique<DirectShowControls>(filter);
}

VideoInputBackend &nativeVideoInputBackend() {
    static DirectShowVideoInputs backend;
    return backend;
}
