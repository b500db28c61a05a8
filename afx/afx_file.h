// CFile and the framework's exceptions. Errors after a successful open are thrown as pointers
// to heap objects (`throw new CFileException(...)`); the catcher calls Delete().
#pragma once

#include <windows.h>

#include "afx/afx_string.h"

class CException {
public:
    virtual ~CException() = default;
    // Shows the error in the framework's standard message box (application caption,
    // exclamation icon). Returns the box's result.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);
    // Writes the text that ReportError shows into `lpszError` (at most nMaxError bytes).
    virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError) const;
    void Delete() { delete this; }
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, const char* fileName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(fileName) {}

    // Maps a system error code to a Cause.
    static int OsErrorToException(LONG lOsError);
    // Throws a new CFileException for the system error `lOsError` on file `fileName`.
    [[noreturn]] static void ThrowOsError(LONG lOsError, const char* fileName);

    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError) const override;

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,  // as shareExclusive: nobody else may open the file meanwhile
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,  // others may read; nobody may write or delete
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,  // create, or truncate an existing file to zero length
        modeNoTruncate = 0x2000,
    };

    static const HANDLE hFileNull;

    CFile() = default;
    // Closes an open file without raising.
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens `lpszFileName` exactly as given (no directory is created). The handle is
    // inheritable unless modeNoInherit. FALSE on failure, with `pError` (when given) filled
    // with the cause, system error and file name; the object then stays closed.
    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    // Takes ownership of the open handle `hFile`, reporting errors on it (and GetFilePath) as
    // the file `lpszFileName`, whose absolute form is taken. A file already open is closed first.
    void Attach(HANDLE hFile, LPCSTR lpszFileName);
    // Writes all nCount bytes. Throws CFileException* on failure, and diskFull when fewer
    // bytes were written than asked.
    virtual void Write(const void* lpBuf, UINT nCount);
    // Commits what was written to the disk. Throws CFileException* on failure.
    virtual void Flush();
    // Closes the file. Throws CFileException* when the close fails (the object is closed
    // all the same).
    virtual void Close();
    // Closes without raising.
    virtual void Abort();

    // The absolute form of the path given to Open; empty when no file is open.
    CString GetFilePath() const { return m_strFilePath; }
    ULONGLONG GetLength() const;
    bool IsOpen() const { return m_hFile != hFileNull; }

    HANDLE m_hFile = hFileNull;

private:
    CString m_strFilePath;
};
