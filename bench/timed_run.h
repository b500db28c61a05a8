// One run of a program, timed end to end as a user would feel it: from the process being
// created to its end.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

struct TimedRun {
    bool started = false;        // CreateProcessW succeeded
    bool ended = false;          // the process ended within the timeout (else it was terminated)
    DWORD exitCode = 0;          // valid when ended
    double milliseconds = 0;     // creation to end, by QueryPerformanceCounter; valid when ended
    SIZE_T peakWorkingSet = 0;   // bytes, from GetProcessMemoryInfo; 0 when the system did not say
};

// How the wait for the end watches the process.
enum class Watch {
    EndOnly,       // one wait: nothing else runs in this process while the child runs (timed runs)
    SampleMemory,  // wakes every millisecond to read the peak working set (the time is not clean)
};

// Starts `commandLine` (no window of its own is asked for or hidden), waits up to `timeoutMs`
// for its end, and reads its exit code and peak working set before letting go of it. Wine
// answers the working set of a process only while it lives, so peakWorkingSet is reliable only
// with Watch::SampleMemory (the last reading before the end). A process still running at the
// timeout is terminated and reported as not ended.
TimedRun RunTimed(const std::wstring& commandLine, DWORD timeoutMs, Watch watch);

// The size of the file at `path` in bytes, or -1 when it cannot be read.
long long FileSize(const std::wstring& path);

}  // namespace bench
