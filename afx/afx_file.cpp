#include "afx/afx_file.h"

#include <cstdio>

#include "afx/afx_app.h"

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

int CException::ReportError(UINT nType, UINT) {
    char message[512];
    if (!GetErrorMessage(message, sizeof message)) {
        lstrcpynA(message, "An unknown error has occurred.", sizeof message);
    }
    return AfxMessageBox(message, nType);
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError) const {
    if (lpszError == nullptr || nMaxError == 0) return FALSE;
    lpszError[0] = 0;
    return FALSE;
}

int CFileException::OsErrorToException(LONG lOsError) {
    switch (lOsError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_DRIVE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_CANNOT_MAKE: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_NO_MORE_FILES: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE: return hardIO;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

void CFileException::ThrowOsError(LONG lOsError, const char* fileName) {
    throw new CFileException(OsErrorToException(lOsError), lOsError, fileName);
}

BOOL CFileException::GetErrorMessage(LPSTR lpszError, UINT nMaxError) const {
    if (lpszError == nullptr || nMaxError == 0) return FALSE;
    static const char* const kTemplates[] = {
        "No error occurred while accessing %1.",
        "An unexpected error occurred while accessing %1.",
        "%1 was not found.",
        "%1 contains an incorrect path.",
        "%1 could not be opened because there are too many open files.",
        "Access to %1 was denied.",
        "An incorrect file handle was associated with %1.",
        "%1 could not be removed because it is the current directory.",
        "%1 could not be created because the directory is full.",
        "Seek failed on %1.",
        "A hardware I/O error was reported while accessing %1.",
        "A sharing violation occurred while accessing %1.",
        "A locking violation occurred while accessing %1.",
        "Disk full while accessing %1.",
        "An attempt was made to access %1 past its end.",
    };
    int cause = (m_cause >= none && m_cause <= endOfFile) ? m_cause : genericException;
    const char* name = m_strFileName.IsEmpty() ? "an unnamed file" : m_strFileName.GetString();
    CString text = CString::FormatMessage1(kTemplates[cause], name);
    lstrcpynA(lpszError, text, static_cast<int>(nMaxError));
    return TRUE;
}

CFile::~CFile() {
    Abort();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    Abort();
    DWORD access = 0;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;
    }
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, (nOpenFlags & modeNoInherit) == 0};
    DWORD disposition = OPEN_EXISTING;
    if (nOpenFlags & modeCreate) {
        disposition = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    }
    HANDLE h = ::CreateFileA(lpszFileName, access, share, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (pError != nullptr) {
            LONG err = static_cast<LONG>(::GetLastError());
            pError->m_lOsError = err;
            pError->m_cause = CFileException::OsErrorToException(err);
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    Attach(h, lpszFileName);
    return TRUE;
}

void CFile::Attach(HANDLE hFile, LPCSTR lpszFileName) {
    Abort();
    m_hFile = hFile;
    char full[MAX_PATH];
    DWORD n = ::GetFullPathNameA(lpszFileName, MAX_PATH, full, nullptr);
    m_strFilePath = (n > 0 && n < MAX_PATH) ? full : lpszFileName;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &written, nullptr)) {
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFilePath);
    }
    if (written != nCount) {
        throw new CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFilePath);
    }
}

void CFile::Flush() {
    if (m_hFile == hFileNull) return;
    if (!::FlushFileBuffers(m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFilePath);
}

void CFile::Close() {
    if (m_hFile == hFileNull) return;
    BOOL ok = ::CloseHandle(m_hFile);
    LONG err = static_cast<LONG>(::GetLastError());
    m_hFile = hFileNull;
    CString path = m_strFilePath;
    m_strFilePath.Empty();
    if (!ok) CFileException::ThrowOsError(err, path);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) ::CloseHandle(m_hFile);
    m_hFile = hFileNull;
    m_strFilePath.Empty();
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(m_hFile, &size)) return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}
