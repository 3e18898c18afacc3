// IKsTopologyInfo, the kernel-streaming topology of a capture source, as vidcap.idl declares it,
// for toolchains whose headers lack it (MinGW-w64), and the identifiers used with it.
#pragma once

#include <windows.h>

#include <ks.h>
#include <ksproxy.h>

#if __has_include(<vidcap.h>)
#include <vidcap.h>
#else
// A COM object is freed by its own Release(), never deleted through this pointer, so the warning
// about a destructor that is not virtual does not apply (the system headers' own interface
// declarations are exempt from it as system headers).
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

// {720D4AC0-7533-11D0-A5D6-28DB04C10000}
inline constexpr IID kIidKsTopologyInfo = {
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
// {28F54685-06FD-11D2-B27A-00A0C9223196}
inline constexpr IID kIidKsControl = {
    0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// KSNODETYPE_DEV_SPECIFIC {941C7AC0-C559-11D0-8A2B-00A0C9255AC1}
inline constexpr GUID kNodeTypeDevSpecific = {
    0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
// HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND): what a node answers to a property set it does not carry.
inline constexpr HRESULT kSetNotFound = static_cast<HRESULT>(0x80070492u);
