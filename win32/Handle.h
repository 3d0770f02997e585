// Move-only owners for Win32 handles: one template, a traits type per kind of handle.
#pragma once
#include <windows.h>
#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }

    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // Closing must not disturb the error code the caller is about to read.
    void reset(pointer value = Traits::Invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            DWORD error = GetLastError();
            Traits::Close(old);
            SetLastError(error);
        }
    }

    // For APIs that return the handle through an out-parameter.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::Invalid();
};

template <typename T, auto CloseFn>
struct NullHandleTraits {
    using pointer = T;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer value) noexcept { return value != nullptr; }
    static void Close(pointer value) noexcept { CloseFn(value); }
};

template <auto CloseFn>
struct InvalidValueHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(pointer value) noexcept { return value != INVALID_HANDLE_VALUE && value != nullptr; }
    static void Close(pointer value) noexcept { CloseFn(value); }
};

inline void DeleteGdiObject(HGDIOBJ object) noexcept { DeleteObject(object); }

using UniqueKernelHandle = UniqueHandle<NullHandleTraits<HANDLE, CloseHandle>>;  // NULL means none
using UniqueFile = UniqueHandle<InvalidValueHandleTraits<CloseHandle>>;  // INVALID_HANDLE_VALUE means none
using UniqueRegKey = UniqueHandle<NullHandleTraits<HKEY, RegCloseKey>>;
using UniqueModule = UniqueHandle<NullHandleTraits<HMODULE, FreeLibrary>>;
using UniqueGlobal = UniqueHandle<NullHandleTraits<HGLOBAL, GlobalFree>>;
using UniqueLocal = UniqueHandle<NullHandleTraits<HLOCAL, LocalFree>>;
using UniqueIcon = UniqueHandle<NullHandleTraits<HICON, DestroyIcon>>;
using UniqueFind = UniqueHandle<InvalidValueHandleTraits<FindClose>>;
template <typename T>
using UniqueGdi = UniqueHandle<NullHandleTraits<T, DeleteGdiObject>>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueFont = UniqueGdi<HFONT>;
