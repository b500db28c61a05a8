#include "timed_run.h"

#include <psapi.h>

#include "afx/handles.h"

namespace bench {

namespace {

constexpr DWORD kSampleMs = 1;

// The process's peak working set so far, or `known` when it cannot be read (any more).
SIZE_T PeakWorkingSet(HANDLE process, SIZE_T known) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return known;
    return counters.PeakWorkingSetSize > known ? counters.PeakWorkingSetSize : known;
}

}  // namespace

TimedRun RunTimed(const std::wstring& commandLine, DWORD timeoutMs, Watch watch) {
    TimedRun run;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = commandLine;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return run;
    afx::UniqueHandle process(pi.hProcess);
    afx::UniqueHandle thread(pi.hThread);
    run.started = true;

    DWORD waited = WAIT_TIMEOUT;
    if (watch == Watch::EndOnly) {
        waited = ::WaitForSingleObject(process.get(), timeoutMs);
    } else {
        DWORD startTick = ::GetTickCount();
        while ((waited = ::WaitForSingleObject(process.get(), kSampleMs)) == WAIT_TIMEOUT &&
               ::GetTickCount() - startTick < timeoutMs) {
            run.peakWorkingSet = PeakWorkingSet(process.get(), run.peakWorkingSet);
        }
    }
    ::QueryPerformanceCounter(&end);
    if (waited != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
        return run;
    }
    run.ended = true;
    run.milliseconds = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                       static_cast<double>(frequency.QuadPart);
    ::GetExitCodeProcess(process.get(), &run.exitCode);
    run.peakWorkingSet = PeakWorkingSet(process.get(), run.peakWorkingSet);
    return run;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace bench
