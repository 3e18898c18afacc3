// Hand-written COM objects standing in for what Windows hands the device layer: a capture filter
// with IKsControl, IAMCameraControl and IAMVideoProcAmp, and a media source whose kernel-streaming
// topology holds nodes of chosen types. Every request is recorded with its bytes and lengths.
// The objects live on the test's stack; Release() never deletes, and each object counts its
// references so that a test can check that the code under test gave back every one it took.
#pragma once

#include "control/kstopologyinfo_win.h"

#include <QByteArray>
#include <QMap>
#include <QVector>

#include <strmif.h>
#include <vfwmsgs.h>

#include <cstring>
#include <initializer_list>
#include <utility>

// A COM object is released through Release(), never deleted through an interface pointer: the
// warning about the interfaces' destructors that are not virtual does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace fakecom {

// Answers QueryInterface from a table of the interfaces an object offers.
inline HRESULT query(REFIID iid, void **object,
                     std::initializer_list<std::pair<const IID *, IUnknown *>> offered) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const auto &entry : offered) {
        if (entry.second && IsEqualIID(iid, *entry.first)) {
            entry.second->AddRef();
            *object = entry.second;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

// One IKsControl::KsProperty call as the fake saw it.
struct KsCall {
    QByteArray property; // the PropertyLength bytes at Property
    ULONG propertyLength = 0;
    QByteArray data; // the DataLength bytes at PropertyData, as they came in
    ULONG dataLength = 0;
};

// An IKsControl that records every property request and answers with `answer`; on success it
// writes `reply` into the data (at most DataLength bytes).
class KsControl : public IKsControl {
public:
    LONG references = 1;
    HRESULT answer = S_OK;
    QByteArray reply;
    QVector<KsCall> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(iid, object, {{&IID_IUnknown, this}, {&kIidKsControl, this}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                         ULONG dataLength, ULONG *returned) override {
        KsCall call;
        call.property = QByteArray(reinterpret_cast<const char *>(property), int(propertyLength));
        call.propertyLength = propertyLength;
        call.data = QByteArray(static_cast<const char *>(data), int(dataLength));
        call.dataLength = dataLength;
        calls.append(call);
        if (returned)
            *returned = 0;
        if (FAILED(answer))
            return answer;
        const ULONG written = std::min<ULONG>(ULONG(reply.size()), dataLength);
        std::memcpy(data, reply.constData(), written);
        if (returned)
            *returned = written;
        return answer;
    }
    HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG *) override {
        return E_NOTIMPL;
    }
};

// One Get or Set on IAMCameraControl or IAMVideoProcAmp.
struct PropertyCall {
    enum Interface { CameraControl, VideoProcAmp } target;
    enum Kind { Get, Set, GetRange } kind;
    LONG property;
    LONG value;
    LONG flags;
};

// The range and value a property reports, per interface and property.
struct PropertyState {
    LONG minimum = 0, maximum = 0, step = 1, defaultValue = 0, capabilities = 0;
    LONG value = 0, flags = 0;
};

class Filter;

// IAMCameraControl and IAMVideoProcAmp have methods of the same names and signatures, so each is a
// part of its own that shares the filter's identity and references.
template <typename Interface, PropertyCall::Interface Target>
class PropertyPart : public Interface {
public:
    explicit PropertyPart(Filter &owner)
        : filter(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG *minimum, LONG *maximum, LONG *step,
                                       LONG *defaultValue, LONG *capabilities) override;
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG *value, LONG *flags) override;

private:
    Filter &filter;
};

// A bound capture filter. Each interface can be withheld; `answer` is what the property
// interfaces return for every call (a property missing from the map answers E_PROP_ID_UNSUPPORTED).
class Filter : public IUnknown {
public:
    LONG references = 1;
    bool offersKsControl = true;
    bool offersCameraControl = true;
    bool offersVideoProcAmp = true;
    HRESULT answer = S_OK;
    KsControl ksControl;
    QMap<LONG, PropertyState> cameraControlState;
    QMap<LONG, PropertyState> videoProcAmpState;
    QVector<PropertyCall> calls;
    PropertyPart<IAMCameraControl, PropertyCall::CameraControl> cameraControl{*this};
    PropertyPart<IAMVideoProcAmp, PropertyCall::VideoProcAmp> videoProcAmp{*this};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(iid, object,
                     {{&IID_IUnknown, this},
                      {&kIidKsControl, offersKsControl ? &ksControl : nullptr},
                      {&IID_IAMCameraControl, offersCameraControl ? &cameraControl : nullptr},
                      {&IID_IAMVideoProcAmp, offersVideoProcAmp ? &videoProcAmp : nullptr}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    // The references the code under test still holds on the filter and its parts.
    LONG outstanding() const { return references - 1 + ksControl.references - 1; }

    QMap<LONG, PropertyState> &state(PropertyCall::Interface target) {
        return target == PropertyCall::CameraControl ? cameraControlState : videoProcAmpState;
    }
};

template <typename Interface, PropertyCall::Interface Target>
HRESULT PropertyPart<Interface, Target>::QueryInterface(REFIID iid, void **object) {
    return filter.QueryInterface(iid, object);
}
template <typename Interface, PropertyCall::Interface Target>
ULONG PropertyPart<Interface, Target>::AddRef() {
    return filter.AddRef();
}
template <typename Interface, PropertyCall::Interface Target>
ULONG PropertyPart<Interface, Target>::Release() {
    return filter.Release();
}
template <typename Interface, PropertyCall::Interface Target>
HRESULT PropertyPart<Interface, Target>::GetRange(LONG property, LONG *minimum, LONG *maximum,
                                                  LONG *step, LONG *defaultValue,
                                                  LONG *capabilities) {
    filter.calls.append({Target, PropertyCall::GetRange, property, 0, 0});
    const auto found = filter.state(Target).constFind(property);
    if (found == filter.state(Target).constEnd())
        return E_PROP_ID_UNSUPPORTED;
    if (FAILED(filter.answer))
        return filter.answer;
    *minimum = found->minimum;
    *maximum = found->maximum;
    *step = found->step;
    *defaultValue = found->defaultValue;
    *capabilities = found->capabilities;
    return S_OK;
}
template <typename Interface, PropertyCall::Interface Target>
HRESULT PropertyPart<Interface, Target>::Set(LONG property, LONG value, LONG flags) {
    filter.calls.append({Target, PropertyCall::Set, property, value, flags});
    auto found = filter.state(Target).find(property);
    if (found == filter.state(Target).end())
        return E_PROP_ID_UNSUPPORTED;
    if (FAILED(filter.answer))
        return filter.answer;
    found->value = value;
    found->flags = flags;
    return S_OK;
}
template <typename Interface, PropertyCall::Interface Target>
HRESULT PropertyPart<Interface, Target>::Get(LONG property, LONG *value, LONG *flags) {
    filter.calls.append({Target, PropertyCall::Get, property, 0, 0});
    const auto found = filter.state(Target).constFind(property);
    if (found == filter.state(Target).constEnd())
        return E_PROP_ID_UNSUPPORTED;
    if (FAILED(filter.answer))
        return filter.answer;
    *value = found->value;
    *flags = found->flags;
    return S_OK;
}

// One node of a topology: its type and the IKsControl its instance offers.
struct Node {
    GUID type = GUID_NULL;
    KsControl control;
};

// A media source whose IKsTopologyInfo lists `nodes`.
class MediaSource : public IKsTopologyInfo {
public:
    LONG references = 1;
    bool offersTopology = true;
    QVector<Node *> nodes;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(
            iid, object,
            {{&IID_IUnknown, this}, {&kIidKsTopologyInfo, offersTopology ? this : nullptr}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, KSTOPOLOGY_CONNECTION *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR *, DWORD, DWORD *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD *count) override {
        *count = DWORD(nodes.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID *type) override {
        if (node >= DWORD(nodes.size()))
            return E_INVALIDARG;
        *type = nodes[int(node)]->type;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void **object) override {
        if (node >= DWORD(nodes.size()))
            return E_INVALIDARG;
        return nodes[int(node)]->control.QueryInterface(iid, object);
    }

    // The references the code under test still holds on the source and its nodes.
    LONG outstanding() const {
        LONG held = references - 1;
        for (const Node *node : nodes)
            held += node->control.references - 1;
        return held;
    }
};

} // namespace fakecom

#pragma GCC diagnostic pop
