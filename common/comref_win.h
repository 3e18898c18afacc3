// A minimal owning reference to a COM interface (releases on destruction).
#pragma once

#include <unknwn.h>

#include <utility>

template <typename T>
class ComRef {
public:
    ComRef() = default;
    // Takes a reference of its own on a pointer that the caller keeps.
    explicit ComRef(T *borrowed)
        : ptr(borrowed) {
        if (ptr)
            ptr->AddRef();
    }
    ~ComRef() { reset(); }
    ComRef(const ComRef &other)
        : ptr(other.ptr) {
        if (ptr)
            ptr->AddRef();
    }
    ComRef &operator=(ComRef other) {
        std::swap(ptr, other.ptr);
        return *this;
    }

    T *get() const { return ptr; }
    T *operator->() const { return ptr; }
    explicit operator bool() const { return ptr != nullptr; }
    // For functions that return a new reference through a T** argument.
    T **put() {
        reset();
        return &ptr;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }
    void reset() {
        if (ptr)
            ptr->Release();
        ptr = nullptr;
    }

private:
    T *ptr = nullptr;
};

// UTF-16 from the system to UTF-8 for the seams.
#include <string>
inline std::string utf8FromWide(const wchar_t *text) {
    if (!text)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return std::string();
    std::string result(static_cast<size_t>(bytes - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), bytes, nullptr, nullptr);
    return result;
}
