// The update, start to end: gates, stopping the product, drivers, support library, product,
// companion, skin, and the dialog's outcome in interactive mode.
#include <cwchar>
#include <string>
#include <vector>

#include "app/halvern_app.h"
#include "app/halvern_dlg.h"
#include "suite/companion.h"
#include "suite/installation_probes.h"
#include "update/catalogue.h"
#include "update/payload_writer.h"
#include "update/rules_prefetch.h"
#include "update/update_result.h"

namespace {

// Tracks whether every row that applied was written, for the exit code.
class RowWriter {
public:
    // Writes row `number`; false when the run must end (interactive failure, message shown).
    bool Write(int number, const wchar_t* baseDir, CFile& file, PathBuffers& path, CString* pFullPath = nullptr,
               const char* companionPath = nullptr) {
        CString written;
        if (!WritePayload(PayloadCatalogue::Row(number), baseDir, file, path, &written, companionPath)) {
            m_complete = false;
            return false;
        }
        if (written.IsEmpty()) m_complete = false;
        if (pFullPath != nullptr) *pFullPath = written;
        return true;
    }
    int Result() const { return m_complete ? kUpdateSucceeded : kUpdateIncomplete; }

private:
    bool m_complete = true;
};

// The files that the rows after the temporary copy replace, where they are known before the
// product is stopped: the drivers of this Windows and the rows of the install directory.
std::vector<std::wstring> KnownTargets(BOOL bIsWow64, const wchar_t* installDir) {
    std::vector<std::wstring> targets;
    wchar_t system[MAX_PATH] = L"";
    ::GetSystemDirectoryW(system, MAX_PATH);
    for (int number = 1; number <= PayloadCatalogue::Count(); ++number) {
        const PayloadEntry& row = PayloadCatalogue::Row(number);
        if (!PayloadCatalogue::Applies(row, bIsWow64 != FALSE, false)) continue;
        if (row.base != PayloadBase::SystemDir && row.base != PayloadBase::InstallDir) continue;
        PathBuffers path;
        if (BuildTargetPath(path, row.base == PayloadBase::SystemDir ? system : installDir, row.relativePath)) {
            targets.emplace_back(path.wide);
        }
    }
    return targets;
}

void CopyRootPath(wchar_t (&target)[MAX_PATH]) {
    std::wcsncpy(target, g_szRootPath, MAX_PATH - 1);
    target[MAX_PATH - 1] = L'\0';
}

}  // namespace

int CHalvernDlg::RunUpdate() {
    CFile file;               // the support library: temporary copy, then the install directory
    CFile file_check;         // "\AppSetup.ini", held unshared to the end of the run
    CFile file_check_old_UI;  // "\resource\background\HM\logo.png"
    CFile file_PM2_EXE;
    CFile file_PNG;
    CFile file_SYS;
    CFile file_Plus_EXE;
    PathBuffers dll_file;
    PathBuffers exe_file;
    PathBuffers png_file;
    PathBuffers sys_file;
    PathBuffers plus_file;
    wchar_t tmppath[MAX_PATH] = L"";
    wchar_t target_file[MAX_PATH] = L"";
    CString p;

    if (!CheckInstalledVersion()) {
        if (!g_bSilent) {
            if (g_bAlreadyCurrent) {
                ShowFinished();
            } else {
                ShowUnsupported();
            }
        }
        return g_bAlreadyCurrent ? kUpdateAlreadyCurrent : kUpdateUnsupported;
    }

    // Without an install directory every path would start at the root of the drive.
    if (!ReadRootPath()) {
        if (!g_bSilent) ShowUnsupported();
        return kUpdateUnsupported;
    }
    CopyRootPath(target_file);

    CFileException probeError;
    if (!ProbeInstallFile(file_check, target_file, L"\\AppSetup.ini", dll_file, &probeError)) {
        if (!g_bSilent) ShowUnsupported();
        return probeError.m_cause == CFileException::sharingViolation ? kUpdateInProgress : kUpdateUnsupported;
    }
    // Refilled before each use, though the probe above built its path in dll_file and left
    // target_file as it was.
    CopyRootPath(target_file);
    if (!ProbeInstallFile(file_check_old_UI, target_file, L"\\resource\\background\\HM\\logo.png", dll_file)) {
        if (!g_bSilent) ShowUnsupported();
        return kUpdateUnsupported;
    }
    file_check_old_UI.Close();

    if (!g_bSilent) ShowUpdating();

    BOOL bIsWow64 = IsWow64();
    // Filled here and again before each driver row, which builds its path in place.
    ::GetSystemDirectoryW(sys_file.wide, MAX_PATH);
    // The root path is read a second time and the result not checked: a failed read leaves
    // g_szRootPath as the first read found it, so the rows go below the directory the registry
    // names now or, failing that, the one the probes checked.
    ReadRootPath();
    CopyRootPath(target_file);
    ::GetTempPathW(MAX_PATH, tmppath);
    // Read while the product is being stopped, so that its rows do not wait for them.
    RulesPrefetch prefetch(KnownTargets(bIsWow64, target_file));

    RowWriter rows;
    if (!rows.Write(PayloadCatalogue::kTempSupportLibrary, tmppath, file, dll_file, &p)) return rows.Result();

    CloseRunningSuite();
    if (!p.IsEmpty()) ::DeleteFileA(p);

    // The drivers of this Windows' bitness, picked by each driver row's condition.
    for (int number = PayloadCatalogue::kFirstDriver; number <= PayloadCatalogue::kLastDriver; ++number) {
        if (!PayloadCatalogue::Applies(PayloadCatalogue::Row(number), bIsWow64 != FALSE, false)) continue;
        // Each driver path is built in place after the system directory; refill it first.
        ::GetSystemDirectoryW(sys_file.wide, MAX_PATH);
        if (!rows.Write(number, nullptr, file_SYS, sys_file)) return rows.Result();
    }

    if (!rows.Write(PayloadCatalogue::kInstallSupportLibrary, target_file, file, dll_file)) return rows.Result();
    if (!rows.Write(PayloadCatalogue::kProductExe, target_file, file_PM2_EXE, exe_file)) return rows.Result();

    if (RefreshCompanion()) {
        // The companion was asked to quit; its executable is written once it lets go of it.
        suite::WaitForCompanionRelease(g_szCompanionExe);
        if (!rows.Write(PayloadCatalogue::kCompanionExe, nullptr, file_Plus_EXE, plus_file, nullptr,
                        g_szCompanionExe)) {
            return rows.Result();
        }
    }

    for (int number = PayloadCatalogue::kFirstSkin; number <= PayloadCatalogue::kLastSkin; ++number) {
        if (!rows.Write(number, target_file, file_PNG, png_file)) return rows.Result();
    }

    if (!g_bSilent) ShowFinished();
    return rows.Result();
}
