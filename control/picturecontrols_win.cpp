// Picture controls under Windows: DirectShow's IAMVideoProcAmp (brightness ... gain, each with
// its automatic flag) and IAMCameraControl for exposure and focus on the camera's capture filter.
// A property that may be automatic gives a second control, its automatic master. Exposure comes
// as a power of two in seconds; it is offered as a menu of those times in 100 µs, the unit Linux
// uses, so that both systems show and save the same values.
#include "control/picturecontrols_win.h"

#include "common/comref_win.h"

#include <windows.h>

#include <dshow.h>

#include <cmath>
#include <cstdio>

namespace {
enum : std::uint32_t {
    kProcAmp = 0x10000,    // IAMVideoProcAmp property
    kCamera = 0x20000,     // IAMCameraControl property
    kAutomatic = 0x100000, // the automatic flag of the property
    kPropertyMask = 0xFFFF,
};

struct KnownProperty {
    std::uint32_t id;
    const char *name;
    const char *label;
    const char *automaticName;
};

constexpr KnownProperty kProperties[] = {
    {kProcAmp | VideoProcAmp_Brightness, "brightness", "Brightness", "brightness-automatic"},
    {kProcAmp | VideoProcAmp_Contrast, "contrast", "Contrast", "contrast-automatic"},
    {kProcAmp | VideoProcAmp_Hue, "hue", "Hue", "hue-automatic"},
    {kProcAmp | VideoProcAmp_Saturation, "saturation", "Saturation", "saturation-automatic"},
    {kProcAmp | VideoProcAmp_Sharpness, "sharpness", "Sharpness", "sharpness-automatic"},
    {kProcAmp | VideoProcAmp_Gamma, "gamma", "Gamma", "gamma-automatic"},
    {kProcAmp | VideoProcAmp_WhiteBalance, "white-balance-temperature", "White Balance Temperature",
     "white-balance-automatic"},
    {kProcAmp | VideoProcAmp_BacklightCompensation, "backlight-compensation",
     "Backlight Compensation", "backlight-compensation-automatic"},
    {kProcAmp | VideoProcAmp_Gain, "gain", "Gain", "gain-automatic"},
    {kCamera | CameraControl_Exposure, "exposure-time", "Exposure Time", "auto-exposure"},
    {kCamera | CameraControl_Focus, "focus", "Focus", "focus-automatic"},
};

// The automatic exposure takes the two values Linux gives its auto-exposure menu.
constexpr std::int32_t kExposureManual = 1;
constexpr std::int32_t kExposureAperturePriority = 3;

bool isExposure(std::uint32_t id) {
    return (id & ~kAutomatic) == (kCamera | CameraControl_Exposure);
}

// 2^n seconds in 100 µs.
std::int32_t exposureUnits(long power) {
    return static_cast<std::int32_t>(std::lround(std::ldexp(10000.0, static_cast<int>(power))));
}

std::string exposureLabel(long power) {
    char text[32];
    if (power < 0)
        std::snprintf(text, sizeof text, "1/%ld s", 1L << -power);
    else
        std::snprintf(text, sizeof text, "%ld s", 1L << power);
    return text;
}

std::string failureText(const char *call, HRESULT status) {
    char text[64];
    std::snprintf(text, sizeof text, "%s: 0x%08lX", call, static_cast<unsigned long>(status));
    return text;
}

class DirectShowPictureControls final : public PictureControlDevice {
public:
    DirectShowPictureControls(ComRef<IAMVideoProcAmp> procAmp, ComRef<IAMCameraControl> camera)
        : amp(std::move(procAmp))
        , cam(std::move(camera)) {}

    std::vector<PictureControlInfo> query() override {
        std::vector<PictureControlInfo> result;
        for (const KnownProperty &property : kProperties) {
            long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
            if (FAILED(range(property.id, minimum, maximum, step, defaultValue, caps)))
                continue;
            long value = 0, flags = 0;
            const bool known = SUCCEEDED(get(property.id, value, flags));
            const bool automatic = known && (flags & VideoProcAmp_Flags_Auto);
            if (caps & VideoProcAmp_Flags_Auto)
                result.push_back(automaticControl(property, caps));
            PictureControlInfo info;
            info.id = property.id;
            info.name = property.name;
            info.label = property.label;
            info.minimum = minimum;
            info.maximum = maximum;
            info.step = step > 0 ? step : 1;
            info.defaultValue = defaultValue;
            info.inactive = automatic;
            info.readOnly = !(caps & VideoProcAmp_Flags_Manual);
            if (isExposure(property.id)) {
                info.kind = PictureControlKind::Menu;
                info.unit = "100 µs";
                info.defaultValue = exposureUnits(defaultValue);
                for (long power = minimum; power <= maximum && power < 31; power += info.step)
                    info.menu.push_back({exposureUnits(power), exposureLabel(power)});
                if (!info.menu.empty()) {
                    info.minimum = info.menu.front().value;
                    info.maximum = info.menu.back().value;
                }
                info.step = 1;
            }
            result.push_back(info);
        }
        return result;
    }

    bool read(std::uint32_t id, std::int32_t &value, std::string &reason) override {
        long raw = 0, flags = 0;
        const HRESULT status = get(id & ~kAutomatic, raw, flags);
        if (FAILED(status)) {
            reason = failureText("Get", status);
            return false;
        }
        const bool automatic = flags & VideoProcAmp_Flags_Auto;
        if (id & kAutomatic)
            value = isExposure(id) ? (automatic ? kExposureAperturePriority : kExposureManual)
                                   : (automatic ? 1 : 0);
        else
            value = isExposure(id) ? exposureUnits(raw) : raw;
        return true;
    }

    bool write(std::uint32_t id, std::int32_t value, std::string &reason) override {
        const std::uint32_t property = id & ~kAutomatic;
        long raw = 0, flags = 0;
        HRESULT status = get(property, raw, flags);
        if (SUCCEEDED(status)) {
            if (id & kAutomatic) {
                const bool automatic =
                    isExposure(id) ? value == kExposureAperturePriority : value != 0;
                flags = automatic ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
            } else {
                raw = isExposure(id) ? exposurePower(value) : value;
                flags = VideoProcAmp_Flags_Manual;
            }
            status = set(property, raw, flags);
        }
        if (SUCCEEDED(status))
            return true;
        reason = failureText("Set", status);
        return false;
    }

private:
    static PictureControlInfo automaticControl(const KnownProperty &property, long caps) {
        PictureControlInfo info;
        info.id = property.id | kAutomatic;
        info.name = property.automaticName;
        info.label = std::string(property.label) + ", Automatic";
        info.readOnly = !(caps & VideoProcAmp_Flags_Manual);
        if (isExposure(property.id)) {
            info.kind = PictureControlKind::Menu;
            info.minimum = kExposureManual;
            info.maximum = kExposureAperturePriority;
            info.defaultValue = kExposureAperturePriority;
            info.menu = {{kExposureManual, "Manual Mode"},
                         {kExposureAperturePriority, "Aperture Priority Mode"}};
        } else {
            info.kind = PictureControlKind::Boolean;
            info.maximum = 1;
            info.defaultValue = 1;
        }
        return info;
    }

    // The power of two whose time in 100 µs is `units`; the menu only offers such times.
    static long exposurePower(std::int32_t units) {
        return std::lround(std::log2(static_cast<double>(units) / 10000.0));
    }

    HRESULT range(std::uint32_t id, long &minimum, long &maximum, long &step, long &defaultValue,
                  long &caps) {
        const long property = static_cast<long>(id & kPropertyMask);
        if ((id & kProcAmp) && amp)
            return amp->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps);
        if ((id & kCamera) && cam)
            return cam->GetRange(property, &minimum, &maximum, &step, &defaultValue, &caps);
        return E_NOINTERFACE;
    }

    HRESULT get(std::uint32_t id, long &value, long &flags) {
        const long property = static_cast<long>(id & kPropertyMask);
        if ((id & kProcAmp) && amp)
            return amp->Get(property, &value, &flags);
        if ((id & kCamera) && cam)
            return cam->Get(property, &value, &flags);
        return E_NOINTERFACE;
    }

    HRESULT set(std::uint32_t id, long value, long flags) {
        const long property = static_cast<long>(id & kPropertyMask);
        if ((id & kProcAmp) && amp)
            return amp->Set(property, value, flags);
        if ((id & kCamera) && cam)
            return cam->Set(property, value, flags);
        return E_NOINTERFACE;
    }

    ComRef<IAMVideoProcAmp> amp;
    ComRef<IAMCameraControl> cam;
};

std::string devicePathOf(IMoniker *moniker) {
    ComRef<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid())))
        return {};
    VARIANT value;
    VariantInit(&value);
    std::string path;
    if (SUCCEEDED(bag->Read(L"DevicePath", &value, nullptr)) && value.vt == VT_BSTR)
        path = utf8FromWide(value.bstrVal);
    VariantClear(&value);
    return path;
}

class DirectShowPictureControlBackend final : public PictureControlBackend {
public:
    std::unique_ptr<PictureControlDevice> open(const std::string &deviceId) override {
        CoInitialize(nullptr);
        ComRef<ICreateDevEnum> devices;
        if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICreateDevEnum, devices.putVoid())))
            return nullptr;
        ComRef<IEnumMoniker> category;
        // S_FALSE: the category is empty.
        if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, category.put(), 0) !=
            S_OK)
            return nullptr;
        ComRef<IMoniker> moniker;
        while (category->Next(1, moniker.put(), nullptr) == S_OK) {
            if (!interfaceHasDeviceId(devicePathOf(moniker.get()), deviceId))
                continue;
            ComRef<IBaseFilter> filter;
            if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid())))
                return nullptr;
            return createDirectShowPictureControls(filter.get());
        }
        return nullptr;
    }
};
} // namespace

std::unique_ptr<PictureControlDevice> createDirectShowPictureControls(IUnknown *filter) {
    ComRef<IAMVideoProcAmp> amp;
    ComRef<IAMCameraControl> camera;
    const bool hasAmp = SUCCEEDED(filter->QueryInterface(IID_IAMVideoProcAmp, amp.putVoid()));
    const bool hasCamera =
        SUCCEEDED(filter->QueryInterface(IID_IAMCameraControl, camera.putVoid()));
    if (!hasAmp && !hasCamera)
        return nullptr;
    return std::make_unique<DirectShowPictureControls>(amp, camera);
}

PictureControlBackend &nativePictureControlBackend() {
    static DirectShowPictureControlBackend backend;
    return backend;
}
