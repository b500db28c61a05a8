// Owners for the platform handles the updater and its tests hold: each closes its handle
// exactly once, on every path out of the scope that owns it.
#pragma once

#include <windows.h>

#include <utility>

namespace afx {

// Owns one handle of the kind Traits describes. Move-only.
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle h) : m_h(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_h(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const { return m_h; }
    bool valid() const { return Traits::Valid(m_h); }
    explicit operator bool() const { return valid(); }

    // Gives up ownership without closing.
    Handle release() { return std::exchange(m_h, Traits::Null()); }
    // Closes the held handle (if any) and takes h.
    void reset(Handle h = Traits::Null()) {
        if (Traits::Valid(m_h)) Traits::Close(m_h);
        m_h = h;
    }
    // For out-parameters: closes what is held and hands out the slot to fill.
    Handle* put() {
        reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Null();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Null() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Null() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Null() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};

struct FindFileTraits {
    using Handle = HANDLE;
    static Handle Null() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) { ::FindClose(h); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Null() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::LocalFree(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;  // processes, threads, files, tokens
using RegKey = UniqueResource<RegKeyTraits>;
using Library = UniqueResource<LibraryTraits>;
using FindHandle = UniqueResource<FindFileTraits>;
using LocalMemory = UniqueResource<LocalMemoryTraits>;  // what the system hands out with LocalAlloc

}  // namespace afx
