#include "unwritable_files.h"

namespace testenv {

namespace {

// Whether a file can be opened for writing, or a folder can take a new file.
bool Writable(const std::wstring& path) {
    DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        std::wstring probe = path + L"\\~writable.probe";
        afx::UniqueHandle h(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return h.valid();
    }
    afx::UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    return h.valid();
}

// Whether someone holds `path` open as the holder was asked to: an open that the holder's sharing
// refuses, to read (no sharing) or to write (held as an image), fails for that reason. The
// probe's own handle is closed again at once.
bool HeldAsAsked(const std::wstring& path, bool asImage) {
    afx::UniqueHandle probe(::CreateFileW(path.c_str(), asImage ? GENERIC_WRITE : GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    return !probe && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Runs chattr on `path` and checks its effect.
bool Chattr(const std::wstring& path, const wchar_t* flag, bool wantWritable) {
    return RunUnix(L"/usr/bin/chattr " + std::wstring(flag) + L" '" + UnixPath(path) + L"'") == 0 &&
           Writable(path) == wantWritable;
}

}  // namespace

Immutable::Immutable(const std::wstring& path) : m_path(path) {
    m_ok = Chattr(path, L"+i", false);
}

Immutable::~Immutable() {
    Chattr(m_path, L"-i", true);
}

HeldFile::HeldFile(const std::wstring& path, bool create)
    : m_h(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                        0, nullptr)) {}

HeldByOtherProcess::HeldByOtherProcess(const std::wstring& path, bool asImage) {
    const std::wstring mode = asImage ? L" --as-image" : L"";
    if (!m_holder.Start(L"\"" + BinFile(L"testtools\\hold_file.exe") + L"\"" + mode + L" \"" + path + L"\"")) return;
    // Held once nobody else can open it, or the holder gave up. A loaded machine can take
    // many seconds to start a Wine process.
    for (int i = 0; i < 1500 && m_holder.Running(); ++i) {
        if (HeldAsAsked(path, asImage)) {
            m_ok = true;
            return;
        }
        ::Sleep(20);
    }
}

}  // namespace testenv
