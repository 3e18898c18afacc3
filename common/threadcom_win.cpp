#include "common/threadcom.h"

#include <QtDebug>

#include <objbase.h>

ThreadComApartment::ThreadComApartment() {
    const HRESULT status = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // S_FALSE: already in this apartment, which still needs its balancing CoUninitialize.
    entered = SUCCEEDED(status);
    // RPC_E_CHANGED_MODE: the thread is in a single-threaded apartment already; COM works there.
    if (!entered && status != RPC_E_CHANGED_MODE)
        qWarning("CoInitializeEx failed on a worker thread: 0x%08lx",
                 static_cast<unsigned long>(status));
}

ThreadComApartment::~ThreadComApartment() {
    if (entered)
        CoUninitialize();
}
