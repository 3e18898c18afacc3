#include "upgrade/disklistapi_win.h"

#include <initguid.h>

#include <devguid.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {
constexpr wchar_t kUsbDiskPrefix[] = L"USBSTOR\\Disk";
constexpr std::size_t kPrefixLength = sizeof kUsbDiskPrefix / sizeof(wchar_t) - 1;

// The hardware ids (REG_MULTI_SZ) of one device; empty when they cannot be read. The first call
// may tell that a larger buffer is needed; the value may also grow between two calls.
std::wstring hardwareIds(const DiskListApi &api, HDEVINFO set, SP_DEVINFO_DATA &device) {
    std::vector<BYTE> buffer(256);
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD required = 0;
        if (api.getDeviceRegistryProperty(set, &device, SPDRP_HARDWAREID, &type, buffer.data(),
                                          static_cast<DWORD>(buffer.size()), &required)) {
            if (type != REG_MULTI_SZ)
                return {};
            // A stored value need not end in its terminators: the length counts, not the zeros.
            std::wstring ids(std::min<std::size_t>(required, buffer.size()) / sizeof(wchar_t),
                             L'\0');
            std::memcpy(&ids[0], buffer.data(), ids.size() * sizeof(wchar_t));
            return ids;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size())
            return {};
        buffer.resize(required);
    }
    return {};
}

// Printable ASCII as it is, anything else as '?'; the '_' the system writes for a blank back as
// the blank.
std::string identityText(const std::wstring &text) {
    std::string result;
    for (wchar_t c : text)
        result += c == L'_' ? ' ' : (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return result;
}

// The vendor and product identification of the first id of a USB disk among the ids.
bool identityFromIds(const std::wstring &ids, ScsiDiskIdentity &identity) {
    for (std::size_t start = 0; start < ids.size();) {
        std::size_t end = ids.find(L'\0', start);
        if (end == std::wstring::npos)
            end = ids.size();
        const std::wstring id = ids.substr(start, end - start);
        if (id.size() >= kPrefixLength + 24 && id.compare(0, kPrefixLength, kUsbDiskPrefix) == 0) {
            identity.vendor = identityText(id.substr(kPrefixLength, 8));
            identity.product = identityText(id.substr(kPrefixLength + 8, 16));
            return true;
        }
        start = end + 1;
    }
    return false;
}
} // namespace

const DiskListApi kSystemDiskListApi = {&SetupDiGetClassDevsW, &SetupDiEnumDeviceInfo,
                                        &SetupDiGetDeviceRegistryPropertyW,
                                        &SetupDiDestroyDeviceInfoList};

std::vector<ScsiDiskIdentity> listUsbDisks(const DiskListApi &api) {
    std::vector<ScsiDiskIdentity> disks;
    HDEVINFO set = api.getClassDevs(&GUID_DEVCLASS_DISKDRIVE, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return disks;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // Ends with ERROR_NO_MORE_ITEMS after the last device (or at any other failure).
    for (DWORD index = 0; api.enumDeviceInfo(set, index, &device); ++index) {
        ScsiDiskIdentity identity;
        if (identityFromIds(hardwareIds(api, set, device), identity))
            disks.push_back(identity);
    }
    api.destroyDeviceInfoList(set);
    return disks;
}
