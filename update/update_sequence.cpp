// The update, start to end: gates, stopping the product, drivers, support library, product,
// companion, skin, and the dialog's outcome in interactive mode.
#include <cwchar>
#include <string>
#include <vector>

#include "app/halvern_app.h"
#include "app/halvern_dlg.h"
#include "suite/companion.h"
#include "suite/installation_probes.h"
#include "suite/temp_folder.h"
#include "update/catalogue.h"
#include "update/drivers_dir.h"
#include "update/payload_writer.h"
#include "update/rules_prefetch.h"
#include "update/run_log.h"
#include "update/update_result.h"

namespace {

// Tracks whether every row that applied was written, for the exit code, and records each row
// in the run log.
class RowWriter {
public:
    // Writes row `number`; false when the run must end (interactive failure, message shown).
    bool Write(int number, const wchar_t* baseDir, CFile& file, PathBuffers& path, CString* pFullPath = nullptr,
               const char* companionPath = nullptr) {
        CString written;
        RowOutcome outcome;
        BOOL goOn = FALSE;
        try {
            goOn = WritePayload(PayloadCatalogue::Row(number), baseDir, file, path, &written, companionPath, &outcome);
        } catch (CFileException*) {
            // Interactive: the failed write goes on to the error box, and the run ends there.
            Record(number, path, companionPath, written, outcome);
            RecordStop();
            throw;
        }
        Record(number, path, companionPath, written, outcome);
        if (!goOn) {
            RecordStop();
            m_complete = false;
            return false;
        }
        if (written.IsEmpty()) m_complete = false;
        if (outcome.replacement != Replacement::Now) m_restart = true;
        if (pFullPath != nullptr) *pFullPath = written;
        return true;
    }
    // A failed row outweighs a restart: the restart alone would not complete the update.
    int Result() const {
        if (!m_complete) return kUpdateIncomplete;
        return m_restart ? kUpdateRestartRequired : kUpdateSucceeded;
    }

    // Records that row `number` is not written on this machine, and why.
    static void NotApplicable(int number, const char* why) {
        runlog::Write("row %d: does not apply: %s", number, why);
    }

private:
    // Interactive: the rows after a failed one are not tried, and the exit code is recorded
    // only once the person closes the dialog.
    static void RecordStop() { runlog::Write("the update stops here: the failure was shown in a message box"); }

    static void Record(int number, const PathBuffers& path, const char* companionPath, const CString& written,
                       const RowOutcome& outcome) {
        if (!runlog::On()) return;
        // The companion's path is the one the registry gave; every other target is the joined
        // wide path, whole even when it could not be opened.
        const std::string target = companionPath != nullptr ? runlog::Utf8FromAnsi(companionPath)
                                                            : runlog::Utf8(path.wide);
        runlog::Row(number, target, outcome.sizeBytes, !written.IsEmpty(), outcome.error, InUseText(outcome));
    }

    static std::string InUseText(const RowOutcome& outcome) {
        switch (outcome.replacement) {
        case Replacement::OldMovedAside:
            return "the old file is in use: moved aside as " + runlog::Utf8(outcome.leftBeside.c_str()) +
                   ", deleted at the next restart";
        case Replacement::AtRestart:
            return "the old file is held with no sharing: the new file waits as " +
                   runlog::Utf8(outcome.leftBeside.c_str()) + " and replaces it at the next restart";
        case Replacement::Now: break;
        }
        return {};
    }

    bool m_complete = true;
    bool m_restart = false;
};

// The files that the rows after the temporary copy replace, where they are known before the
// product is stopped: the drivers of this Windows and the rows of the install directory.
std::vector<std::wstring> KnownTargets(BOOL bIsWow64, const wchar_t* systemDir, const wchar_t* installDir) {
    std::vector<std::wstring> targets;
    for (int number = 1; number <= PayloadCatalogue::Count(); ++number) {
        const PayloadEntry& row = PayloadCatalogue::Row(number);
        if (!PayloadCatalogue::Applies(row, bIsWow64 != FALSE, false)) continue;
        if (row.base != PayloadBase::SystemDir && row.base != PayloadBase::InstallDir) continue;
        PathBuffers path;
        if (BuildTargetPath(path, row.base == PayloadBase::SystemDir ? systemDir : installDir, row.relativePath)) {
            targets.emplace_back(path.wide);
        }
    }
    return targets;
}

// Records what a presence check of install file `name` found. `kept` says what the run does
// with a file it found.
void RecordProbe(const char* name, BOOL found, const CFileException& error, const char* kept) {
    if (!runlog::On()) return;
    if (found) {
        runlog::Write("%s: present, %s", name, kept);
    } else if (error.m_cause == CFileException::sharingViolation) {
        runlog::Write("%s: held open by another process (%s)", name,
                      runlog::ErrorText(static_cast<DWORD>(error.m_lOsError)).c_str());
    } else if (error.m_lOsError == -1) {
        // Refused before any open: the probe's path must not be opened.
        runlog::Write("%s: its path is too long or has no exact ANSI form", name);
    } else {
        runlog::Write("%s: cannot be opened (%s)", name,
                      runlog::ErrorText(static_cast<DWORD>(error.m_lOsError)).c_str());
    }
}

const char* ConditionText(PayloadCondition condition) {
    switch (condition) {
    case PayloadCondition::Wow64Only: return "for 64-bit Windows only";
    case PayloadCondition::Native32Only: return "for 32-bit Windows only";
    case PayloadCondition::CompanionRefreshed: return "no companion to refresh";
    case PayloadCondition::Always: break;
    }
    return "always";
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
        runlog::Write("install directory: \"RootPath\" missing, unreadable or empty");
        if (!g_bSilent) ShowUnsupported();
        return kUpdateUnsupported;
    }
    if (runlog::On()) runlog::Write("install directory: %s", runlog::Utf8(g_szRootPath).c_str());
    CopyRootPath(target_file);

    CFileException probeError;
    BOOL found = ProbeInstallFile(file_check, target_file, L"\\AppSetup.ini", dll_file, &probeError);
    RecordProbe("AppSetup.ini", found, probeError, "held unshared to the end of the run");
    if (!found) {
        if (!g_bSilent) ShowUnsupported();
        return probeError.m_cause == CFileException::sharingViolation ? kUpdateInProgress : kUpdateUnsupported;
    }
    // Refilled before each use, though the probe above built its path in dll_file and left
    // target_file as it was.
    CopyRootPath(target_file);
    CFileException logoError;
    found = ProbeInstallFile(file_check_old_UI, target_file, L"\\resource\\background\\HM\\logo.png", dll_file,
                             &logoError);
    RecordProbe("resource\\background\\HM\\logo.png", found, logoError, "closed again");
    if (!found) {
        if (!g_bSilent) ShowUnsupported();
        return kUpdateUnsupported;
    }
    file_check_old_UI.Close();

    if (!g_bSilent) ShowUpdating();

    BOOL bIsWow64 = IsWow64();
    // Filled here and again before each driver row, which builds its path in place.
    wchar_t drivers_base[MAX_PATH];
    DriversBaseDir(bIsWow64, drivers_base);
    std::wcscpy(sys_file.wide, drivers_base);
    // The root path is read a second time and the result not checked: a failed read leaves
    // g_szRootPath as the first read found it, so the rows go below the directory the registry
    // names now or, failing that, the one the probes checked.
    ReadRootPath();
    CopyRootPath(target_file);
    // The temporary copy's folder is the run's own, and goes with the run on every way out.
    suite::TempRunFolder temp_folder;
    if (!temp_folder.Create()) {
        runlog::Write("temporary folder: none could be made below the temporary directory (%s)",
                      runlog::ErrorText(::GetLastError()).c_str());
    }
    // Read while the product is being stopped, so that its rows do not wait for them.
    RulesPrefetch prefetch(KnownTargets(bIsWow64, sys_file.wide, target_file));

    RowWriter rows;
    if (!rows.Write(PayloadCatalogue::kTempSupportLibrary, temp_folder.Path().c_str(), file, dll_file, &p)) {
        return rows.Result();
    }

    CloseRunningSuite();
    if (!p.IsEmpty()) {
        DWORD error = ERROR_SUCCESS;
        const bool deleted = temp_folder.DeleteCopy(&error);
        if (runlog::On()) {
            runlog::Write("temporary copy of the support library: %s",
                          deleted ? "deleted" : ("not deleted, " + runlog::ErrorText(error)).c_str());
        }
    }

    // The drivers of this Windows' bitness, picked by each driver row's condition, into the
    // folder Windows loads them from.
    if (runlog::On()) runlog::Write("drivers folder: %s", runlog::Utf8(DriversFolderAsNamed(bIsWow64).c_str()).c_str());
    for (int number = PayloadCatalogue::kFirstDriver; number <= PayloadCatalogue::kLastDriver; ++number) {
        const PayloadEntry& row = PayloadCatalogue::Row(number);
        if (!PayloadCatalogue::Applies(row, bIsWow64 != FALSE, false)) {
            RowWriter::NotApplicable(number, ConditionText(row.condition));
            continue;
        }
        // Each driver path is built in place after the drivers' base; refill it first.
        std::wcscpy(sys_file.wide, drivers_base);
        if (!rows.Write(number, nullptr, file_SYS, sys_file)) return rows.Result();
    }

    if (!rows.Write(PayloadCatalogue::kInstallSupportLibrary, target_file, file, dll_file)) return rows.Result();
    if (!rows.Write(PayloadCatalogue::kProductExe, target_file, file_PM2_EXE, exe_file)) return rows.Result();

    if (RefreshCompanion()) {
        // The companion was asked to quit; its executable is written once it lets go of it.
        const ULONGLONG waitStart = ::GetTickCount64();
        const bool released = suite::WaitForCompanionRelease(g_szCompanionExe);
        runlog::Write(released ? "companion: its executable released after %llu ms"
                               : "companion: its executable still held after %llu ms; its row is tried all the same",
                      ::GetTickCount64() - waitStart);
        if (!rows.Write(PayloadCatalogue::kCompanionExe, nullptr, file_Plus_EXE, plus_file, nullptr,
                        g_szCompanionExe)) {
            return rows.Result();
        }
    } else {
        RowWriter::NotApplicable(PayloadCatalogue::kCompanionExe,
                                 ConditionText(PayloadCatalogue::Row(PayloadCatalogue::kCompanionExe).condition));
    }

    for (int number = PayloadCatalogue::kFirstSkin; number <= PayloadCatalogue::kLastSkin; ++number) {
        if (!rows.Write(number, target_file, file_PNG, png_file)) return rows.Result();
    }

    if (!g_bSilent) ShowFinished(rows.Result() == kUpdateRestartRequired);
    return rows.Result();
}
