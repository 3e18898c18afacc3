#include "control/mediafoundationunit_win.h"

#include "common/comref_win.h"
#include "control/ksrequests.h"
#include "control/kstopologyinfo_win.h"
#include "control/uvcextensionunit.h"

#include <cstdio>

namespace {
PlatformStatus failWith(PlatformFailure &failure, const char *step, HRESULT status) {
    failure = {step, static_cast<PlatformStatus>(status)};
    return failure.status;
}

class MediaFoundationUnit final : public ExtensionUnitDevice {
public:
    MediaFoundationUnit(IUnknown *source, IUnknown *reader, std::shared_ptr<void> started)
        : platform(std::move(started))
        , mediaSource(source)
        , sourceReader(reader) {}

    PlatformStatus request(std::uint32_t selector, UnitDirection direction, std::uint8_t *data,
                           std::uint32_t length, PlatformFailure &failure) override {
        const std::uint32_t flags = direction == UnitDirection::Write ? kWriteFlags : kReadFlags;
        if (unitControl)
            return send(unitControl.get(), unitNode, selector, flags, data, length, failure);
        return findUnitAndSend(selector, flags, data, length, failure);
    }

private:
    static PlatformStatus send(IKsControl *control, DWORD node, std::uint32_t selector,
                               std::uint32_t flags, std::uint8_t *data, std::uint32_t length,
                               PlatformFailure &failure) {
        NodeRequest nodeRequest = encodeNodeRequest(kExtensionUnitSet, selector, flags, node);
        ULONG returned = 0;
        const HRESULT status =
            control->KsProperty(reinterpret_cast<PKSPROPERTY>(nodeRequest.data()),
                                ULONG(nodeRequest.size()), data, length, &returned);
        if (FAILED(status))
            return failWith(failure, "ks_control->KsProperty(...)", status);
        return static_cast<PlatformStatus>(status);
    }

    // A camera may carry more than one vendor-specific node (another extension unit, a vendor's
    // processing node): the unit is the node that knows its property set, and every other one
    // answers "set not found". The first node that answers otherwise is kept for all later
    // requests.
    PlatformStatus findUnitAndSend(std::uint32_t selector, std::uint32_t flags, std::uint8_t *data,
                                   std::uint32_t length, PlatformFailure &failure) {
        ComRef<IKsTopologyInfo> topology;
        HRESULT status = mediaSource->QueryInterface(kIidKsTopologyInfo, topology.putVoid());
        if (FAILED(status))
            return failWith(failure, "IMFMediaSource::QueryInterface(IKsTopologyInfo)", status);
        DWORD nodes = 0;
        status = topology->get_NumNodes(&nodes);
        if (FAILED(status))
            return failWith(failure, "FindExtensionNode", status);

        // Reported only when no node takes the request: the last node's failure, if any.
        PlatformFailure lastFailure = {"FindExtensionNode", static_cast<PlatformStatus>(E_FAIL)};
        for (DWORD node = 0; node < nodes; ++node) {
            GUID type = GUID_NULL;
            if (FAILED(topology->get_NodeType(node, &type)) || type != kNodeTypeDevSpecific)
                continue;
            ComRef<IUnknown> instance;
            status = topology->CreateNodeInstance(node, IID_IUnknown, instance.putVoid());
            if (FAILED(status)) {
                failWith(lastFailure, "ks_topology_info->CreateNodeInstance(...)", status);
                continue;
            }
            ComRef<IKsControl> control;
            status = instance->QueryInterface(kIidKsControl, control.putVoid());
            if (FAILED(status)) {
                failWith(lastFailure, "ks_topology_info->QueryInterface(...)", status);
                continue;
            }
            PlatformFailure attempt;
            const PlatformStatus result =
                send(control.get(), node, selector, flags, data, length, attempt);
            if (result == kSetNotFound) {
                lastFailure = attempt;
                continue;
            }
            if (FAILED(result))
                failure = attempt;
            std::printf("found one xu node\n");
            unitControl = control;
            unitNode = node;
            return result;
        }
        failure = lastFailure;
        return failure.status;
    }

    // Declared first so that it is released last, after every COM object of the platform.
    std::shared_ptr<void> platform;
    ComRef<IUnknown> mediaSource;
    ComRef<IUnknown> sourceReader; // held open with the source, never read from
    ComRef<IKsControl> unitControl;
    DWORD unitNode = 0;
};
} // namespace

std::unique_ptr<ExtensionUnitDevice> createMediaFoundationUnit(IUnknown *mediaSource,
                                                               IUnknown *sourceReader,
                                                               std::shared_ptr<void> platform) {
    return std::make_unique<MediaFoundationUnit>(mediaSource, sourceReader, std::move(platform));
}
