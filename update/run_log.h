// The run log: for the administrator who deploys the update to many machines, one block of
// lines a run, appended to the file a machine policy names (update/run_log_file.h), saying
// what the run found, did and ended with. Without the policy none of this writes or reads
// anything beyond the policy itself.
//
// Every record is written as it happens, each line with one write, so a run that is killed
// leaves the lines up to that moment. A log that cannot be opened, or a write that fails,
// turns the log off for the rest of the run and changes nothing else.
#pragma once

#include <windows.h>

#include <string>

namespace runlog {

// Reads the policy and, when it names a log that can be used, opens it and writes the run's
// start: the updater's file version, the command tail `commandTail` (ANSI), the run mode
// (`silent` or the confirmation dialog), the Windows version and bitness, whether the updater
// runs under WOW64, the user and whether the process is elevated. Starts the run's clock.
// Call once, before anything else is recorded.
void Start(const char* commandTail, bool silent);

// Whether the log is open. A record whose text costs something to gather (a conversion, a
// system message) is gathered only when this is true.
bool On();

// Appends one record, printf-formatted; the arguments' text must be UTF-8. Nothing when off.
void Write(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// What became of payload row `number`: its target `target` (UTF-8), the size of its bytes,
// and, when it was not written, the system error that stopped it (0: none was reported) with
// the system's message for it. `inUse`, for a row written over a file in use, says how (see
// update/in_use.h); empty for any other.
void Row(int number, const std::string& target, unsigned long sizeBytes, bool written, DWORD error,
         const std::string& inUse = {});

// Records the exit code `exitCode` with its meaning (UpdateResultMeaning) and the run's total
// time since Start, and closes the log.
void Finish(int exitCode);

// Text for records, as UTF-8: of UTF-16 text, of ANSI code page text (a path the update opens
// or the command tail), and "error N: <the system's message for N>".
std::string Utf8(const wchar_t* text);
std::string Utf8FromAnsi(const char* text);
std::string ErrorText(DWORD error);

}  // namespace runlog
