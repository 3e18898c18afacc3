// Hand-written COM objects standing in for what Windows hands the device layer: a capture filter
// with IKsControl, IAMCameraControl and IAMVideoProcAmp, and a media source whose kernel-streaming
// topology holds nodes of chosen types. Every request is recorded with its bytes and lengths.
// The objects live on the test's stack: Release() never deletes, and `references` (1 for the
// test's own) shows whether the code under test gave back every reference it took.
#pragma once

#include "control/kstopologyinfo_win.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <QVector>

#include <strmif.h>

#include <cstring>
#include <initializer_list>
#include <utility>

// A COM object is released through Release(), never deleted through an interface pointer: the
// warning about the interfaces' destructors that are not virtual does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace fakecom {

// Answers QueryInterface from the interfaces an object offers (a null entry is withheld).
inline HRESULT query(REFIID iid, void **object,
                     std::initializer_list<std::pair<const IID *, IUnknown *>> offered) {
    *object = nullptr;
    for (const auto &[id, offer] : offered)
        if (offer && IsEqualIID(iid, *id)) {
            offer->AddRef();
            *object = offer;
            return S_OK;
        }
    return E_NOINTERFACE;
}

template <typename... Interfaces>
struct Object : Interfaces... {
    LONG references = 1;
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }
};

// One IKsControl::KsProperty call: the PropertyLength bytes at Property and the DataLength bytes
// of the data as they came in.
struct KsCall {
    QByteArray property;
    QByteArray data;
};

// Records every property request and answers `answer`; on success writes `reply` into the data.
struct KsControl : Object<IKsControl> {
    HRESULT answer = S_OK;
    QByteArray reply;
    QVector<KsCall> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(iid, object, {{&IID_IUnknown, this}, {&kIidKsControl, this}});
    }
    HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                         ULONG dataLength, ULONG *returned) override {
        calls.append({QByteArray(reinterpret_cast<const char *>(property), int(propertyLength)),
                      QByteArray(static_cast<const char *>(data), int(dataLength))});
        *returned = FAILED(answer) ? 0 : std::min(ULONG(reply.size()), dataLength);
        std::memcpy(data, reply.constData(), *returned);
        return answer;
    }
    HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG *) override {
        return E_NOTIMPL;
    }
};

// E_PROP_ID_UNSUPPORTED, which the cross-compiler's headers do not name.
constexpr HRESULT kPropertyUnsupported = HRESULT(0x80070490u);

// One property of IAMCameraControl or IAMVideoProcAmp: its range and capability flags, and its
// value and flags now.
struct Property {
    LONG minimum, maximum, step, defaultValue, caps, value, flags;
};

// IAMCameraControl and IAMVideoProcAmp share their methods, so each is a part of its own with the
// filter's identity and references. Every call is recorded ("Set 4 -6 2"); a property it does
// not hold is not offered, and Set answers `answer`.
template <typename Interface>
struct PropertyPart : Interface {
    IUnknown &filter;
    HRESULT answer = S_OK;
    QMap<LONG, Property> properties;
    QStringList calls;

    explicit PropertyPart(IUnknown &owner)
        : filter(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return filter.QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return filter.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return filter.Release(); }
    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG *minimum, LONG *maximum, LONG *step,
                                       LONG *defaultValue, LONG *caps) override {
        const Property p = properties.value(property);
        *minimum = p.minimum, *maximum = p.maximum, *step = p.step;
        *defaultValue = p.defaultValue, *caps = p.caps;
        return properties.contains(property) ? S_OK : kPropertyUnsupported;
    }
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override {
        calls << QString("Set %1 %2 %3").arg(property).arg(value).arg(flags);
        if (SUCCEEDED(answer) && properties.contains(property))
            properties[property].value = value, properties[property].flags = flags;
        return properties.contains(property) ? answer : kPropertyUnsupported;
    }
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG *value, LONG *flags) override {
        calls << QString("Get %1").arg(property);
        *value = properties.value(property).value;
        *flags = properties.value(property).flags;
        return properties.contains(property) ? S_OK : kPropertyUnsupported;
    }
};

// A bound capture filter; each interface can be withheld.
struct Filter : Object<IUnknown> {
    bool offersKsControl = true, offersCameraControl = true, offersVideoProcAmp = true;
    KsControl ksControl;
    PropertyPart<IAMCameraControl> cameraControl{*this};
    PropertyPart<IAMVideoProcAmp> videoProcAmp{*this};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(iid, object,
                     {{&IID_IUnknown, this},
                      {&kIidKsControl, offersKsControl ? &ksControl : nullptr},
                      {&IID_IAMCameraControl, offersCameraControl ? &cameraControl : nullptr},
                      {&IID_IAMVideoProcAmp, offersVideoProcAmp ? &videoProcAmp : nullptr}});
    }
    // 2 when every reference taken was given back: the filter's and its IKsControl's own.
    LONG heldReferences() const { return references + ksControl.references; }
};

// A media source whose topology lists `nodes`: each a type and the IKsControl of its instance.
struct MediaSource : Object<IKsTopologyInfo> {
    QVector<std::pair<GUID, KsControl *>> nodes;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        return query(iid, object, {{&IID_IUnknown, this}, {&kIidKsTopologyInfo, this}});
    }
    HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD *count) override {
        *count = DWORD(nodes.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID *type) override {
        *type = nodes.value(int(node)).first;
        return node < DWORD(nodes.size()) ? S_OK : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void **object) override {
        return nodes[int(node)].second->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, KSTOPOLOGY_CONNECTION *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR *, DWORD, DWORD *) override {
        return E_NOTIMPL;
    }
};

} // namespace fakecom

#pragma GCC diagnostic pop
