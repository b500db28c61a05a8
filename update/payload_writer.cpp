#include "update/payload_writer.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "afx/ansi_text.h"
#include "afx/resource_view.h"
#include "app/halvern_app.h"
#include "update/staged_file.h"

namespace {

// The run-mode policy for a row that cannot be written from the start. `error`, the system's
// reason, goes to `pOutcome` for the run log.
BOOL RowNotCreated(const PayloadEntry& row, DWORD error, RowOutcome* pOutcome) {
    if (pOutcome != nullptr) pOutcome->error = error;
    if (g_bSilent) return TRUE;
    AfxMessageBox(row.failureMessage, MB_OK, 0);
    return FALSE;
}

// "X:\..." or "\\server\share\...": a base the system failed to give would otherwise leave a
// path that names a file at the root of whatever drive is current.
bool IsFullPath(const wchar_t* path) {
    if (path[0] == L'\\') return path[1] == L'\\';
    return path[0] != L'\0' && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

BOOL BuildTargetPath(PathBuffers& path, const wchar_t* baseDir, const wchar_t* relativePath) {
    path.narrow[0] = '\0';
    if (baseDir != nullptr) {
        if (std::wcslen(baseDir) >= MAX_PATH) {
            path.wide[0] = L'\0';
            return FALSE;
        }
        std::wcscpy(path.wide, baseDir);
    }
    size_t baseLength = std::wcslen(path.wide);
    if (baseLength + std::wcslen(relativePath) >= MAX_PATH) return FALSE;
    std::wcscpy(path.wide + baseLength, relativePath);
    if (!IsFullPath(path.wide)) return FALSE;
    std::string narrow;
    if (!afx::ToAnsiExactly(path.wide, &narrow) || narrow.size() >= MAX_PATH) return FALSE;
    std::memcpy(path.narrow, narrow.c_str(), narrow.size() + 1);
    return TRUE;
}

BOOL WritePayload(const PayloadEntry& row, const wchar_t* baseDir, CFile& file, PathBuffers& path,
                  CString* pFullPath, const char* companionPath, RowOutcome* pOutcome) {
    pFullPath->Empty();
    const char* target = companionPath;
    if (row.base != PayloadBase::CompanionPath) {
        if (!BuildTargetPath(path, baseDir, row.relativePath)) return RowNotCreated(row, ERROR_INVALID_NAME, pOutcome);
        target = path.narrow;
    }
    // Looked up before anything is staged: a missing resource changes no file.
    afx::ResourceView data;
    if (target == nullptr || target[0] == '\0') return RowNotCreated(row, ERROR_INVALID_NAME, pOutcome);
    if (!afx::FindResourceView(AfxGetInstanceHandle(), row.resourceType, row.resourceId, &data)) {
        return RowNotCreated(row, ::GetLastError(), pOutcome);
    }
    if (pOutcome != nullptr) pOutcome->sizeBytes = data.size;

    // The target keeps its old bytes until the staging file is complete: a full disk or a failed
    // write leaves the old file, never one cut short.
    StagedFile staged;
    StagingOptions options;
    options.inUseAllowed = row.base != PayloadBase::TempDir;
    if (row.base == PayloadBase::InstallDir) options.installDir = baseDir;
    HANDLE staging = staged.Begin(target, options);
    if (staging == INVALID_HANDLE_VALUE) return RowNotCreated(row, ::GetLastError(), pOutcome);
    file.Attach(staging, target);
    CString written = file.GetFilePath();
    try {
        file.Write(data.data, data.size);
        // A program or driver renamed into place before its bytes reach the disk could be an
        // empty file after a power loss. The temporary copy of the support library is not
        // kept past this run, so it need not survive one.
        if (row.group != PayloadGroup::Skin && row.base != PayloadBase::TempDir) file.Flush();
    } catch (CFileException* e) {
        file.Abort();
        if (pOutcome != nullptr) pOutcome->error = static_cast<DWORD>(e->m_lOsError);
        if (!g_bSilent) throw;
        e->Delete();
        return TRUE;
    }
    if (!staged.Commit(file.m_hFile)) {
        const DWORD error = ::GetLastError();
        file.Abort();
        return RowNotCreated(row, error, pOutcome);
    }
    if (pOutcome != nullptr) {
        pOutcome->replacement = staged.How();
        pOutcome->leftBeside = staged.LeftBeside();
    }
    // The file is in place (or waits whole for the restart); a close that still fails reports
    // as a failed write.
    try {
        file.Close();
    } catch (CFileException* e) {
        if (pOutcome != nullptr) pOutcome->error = static_cast<DWORD>(e->m_lOsError);
        if (!g_bSilent) throw;
        e->Delete();
        return TRUE;
    }
    *pFullPath = written;
    return TRUE;
}

BOOL ProbeInstallFile(CFile& file, const wchar_t* installDir, const wchar_t* relativePath, PathBuffers& path,
                      CFileException* pError) {
    if (!BuildTargetPath(path, installDir, relativePath)) {
        if (pError != nullptr) pError->m_cause = CFileException::badPath;
        return FALSE;
    }
    return file.Open(path.narrow, CFile::modeRead, pError);
}
