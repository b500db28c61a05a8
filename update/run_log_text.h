// The run log's text and the decisions about its file that need no system call: how a line
// looks, UTF-8 from the system's UTF-16, when the file is rotated and what its old part is
// called, which paths the policy may name, and the file version a version resource holds.
// Nothing here calls the system, so it behaves the same wherever it is built.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace runlog {

// A local wall-clock time, as the system's SYSTEMTIME has it.
struct LineTime {
    unsigned year, month, day, hour, minute, second, millisecond;
};

// One line of the log: "YYYY-MM-DD hh:mm:ss.mmm " + `text` + CR LF. Every control character
// inside `text` (a CR or LF of a system message or of a registry value among them) becomes a
// blank, so that one record is always one line and no value can forge a line of its own.
std::string FormatLine(const LineTime& time, const std::string& text);

// printf into a std::string (UTF-8 arguments stay UTF-8). Empty when the format fails.
std::string FormatText(const char* format, std::va_list args);
std::string FormatText(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// The UTF-8 form of `length` UTF-16 code units at `text` (a null `text` gives ""). A lone
// surrogate, which no UTF-8 text can hold, becomes U+FFFD.
std::string Utf8FromUtf16(const wchar_t* text, std::size_t length);
std::string Utf8FromUtf16(const std::wstring& text);

// A system message as one clause: trailing blanks, CR and LF taken off.
std::string TrimMessage(std::string message);

// A log above this size is renamed to its old name when a run starts, so the two files
// together never hold much more than twice this.
constexpr unsigned long long kRotateAboveBytes = 1024ull * 1024ull;
bool ShouldRotate(unsigned long long sizeBytes);
// "<path>.old": where a log of more than kRotateAboveBytes goes, replacing an older one.
std::wstring RotatedPath(const std::wstring& path);

// Whether `path` names a file from a root of its own: "X:\..." or a UNC "\\server\share\...".
// A relative or drive-relative path would be resolved against the current folder, which for
// the updater is typically a download folder any program of the user may write to.
bool IsFullPath(const std::wstring& path);

// The file version "a.b.c.d" of the fixed part of a version resource (VS_VERSIONINFO bytes,
// `size` of them). Empty when the fixed part is missing or cut short.
std::string FileVersionOf(const unsigned char* resource, std::size_t size);

}  // namespace runlog
