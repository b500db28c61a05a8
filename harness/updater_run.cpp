#include "updater_run.h"

#include <algorithm>

#include "afx/handles.h"
#include "update/catalogue.h"
#include "window_probe.h"

namespace e2e {

std::wstring UpdaterPath() {
    return testenv::BinFile(L"Ostrel Pelmora update.exe");
}

bool StartUpdater(testenv::ChildProcess* updater, const std::wstring& arguments) {
    return updater->Start(L"\"" + UpdaterPath() + L"\"" + arguments);
}

SilentRun RunSilent(const std::wstring& arguments, DWORD timeoutMs) {
    SilentRun run;
    testenv::ChildProcess updater;
    if (!StartUpdater(&updater, arguments)) return run;
    DWORD start = ::GetTickCount();
    while (!updater.Wait(20)) {
        if (probe::FindTopWindow(updater.Pid(), nullptr, nullptr) != nullptr) run.showedWindow = true;
        if (::GetTickCount() - start > timeoutMs) return run;
    }
    run.ended = true;
    run.exitCode = updater.ExitCode();
    return run;
}

std::wstring DriversDir() { return testenv::PrefixFolder(L"windows\\system32\\drivers"); }
std::wstring RedirectedDriversDir() { return testenv::PrefixFolder(L"windows\\syswow64\\drivers"); }

void RemoveDrivers() {
    ::DeleteFileW((DriversDir() + L"\\Tarnwell.sys").c_str());
    ::DeleteFileW((DriversDir() + L"\\TarnwellPlus.sys").c_str());
}

std::wstring RowTarget(int number, const std::wstring& root, const std::wstring& companionExe) {
    const PayloadEntry& row = PayloadCatalogue::Row(number);
    if (!PayloadCatalogue::Applies(row, testenv::UpdaterUnderWow64(), !companionExe.empty())) return L"";
    switch (row.base) {
    case PayloadBase::TempDir: {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + (row.relativePath + 1);
    }
    case PayloadBase::SystemDir: return testenv::PrefixFolder(L"windows\\system32") + row.relativePath;
    case PayloadBase::InstallDir: return root + row.relativePath;
    case PayloadBase::CompanionPath: return companionExe;
    }
    return L"";
}

std::string RowResource(int number) {
    static afx::Library updater(::LoadLibraryExW(UpdaterPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const PayloadEntry& row = PayloadCatalogue::Row(number);
    return testenv::ResourceBytes(updater.get(), row.resourceType, row.resourceId);
}

std::vector<int> ReplacedRows(const std::wstring& root, const std::wstring& companionExe) {
    std::vector<int> rows;
    for (int n = 1; n <= PayloadCatalogue::Count(); ++n) {
        if (n != PayloadCatalogue::kTempSupportLibrary && !RowTarget(n, root, companionExe).empty()) rows.push_back(n);
    }
    return rows;
}

std::vector<int> RowsNotWritten(const std::wstring& root, const std::wstring& companionExe) {
    std::vector<int> missing;
    for (int n : ReplacedRows(root, companionExe)) {
        std::string bytes;
        if (!testenv::ReadFileBytes(RowTarget(n, root, companionExe), &bytes) || bytes != RowResource(n)) {
            missing.push_back(n);
        }
    }
    return missing;
}

std::vector<std::pair<std::wstring, std::string>> Snapshot(const std::wstring& dir) {
    std::vector<std::pair<std::wstring, std::string>> files;
    WIN32_FIND_DATAW fd;
    afx::FindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &fd));
    if (!find) return files;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            auto below = Snapshot(path);
            files.insert(files.end(), below.begin(), below.end());
        } else {
            std::string bytes;
            testenv::ReadFileBytes(path, &bytes);
            files.emplace_back(path, bytes);
        }
    } while (::FindNextFileW(find.get(), &fd));
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace e2e
