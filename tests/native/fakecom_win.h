// Hand-written COM objects standing in for what Windows hands the device layer: IKsControl, and a
// media source whose kernel-streaming topology holds nodes of chosen types. Every request is
// recorded with its bytes and lengths.
// The objects live on the test's stack: Release() never deletes, and `references` (1 for the
// test's own) shows whether the code under test gave back every reference it took.
#pragma once

#include "control/kstopologyinfo_win.h"

#include <QByteArray>
#include <QVector>

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
