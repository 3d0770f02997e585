// A small owner for COM interface pointers, and a guard that pairs CoInitialize with CoUninitialize.
#pragma once
#include <objbase.h>
#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    // Takes over a reference the caller already holds.
    void reset(T* value = nullptr) noexcept {
        T* old = std::exchange(ptr_, value);
        if (old)
            old->Release();
    }

    // For APIs that hand out a new reference through an out-parameter.
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* ptr_ = nullptr;
};

// COM for the current thread for the guard's lifetime; uninitialises only what it initialised.
class CoInitializeScope {
public:
    explicit CoInitializeScope(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : result_(CoInitializeEx(nullptr, model)) {}
    CoInitializeScope(const CoInitializeScope&) = delete;
    CoInitializeScope& operator=(const CoInitializeScope&) = delete;
    ~CoInitializeScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    HRESULT Result() const noexcept { return result_; }

private:
    HRESULT result_;
};
