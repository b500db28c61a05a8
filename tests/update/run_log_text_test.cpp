#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "update/run_log_text.h"

namespace {

// Only a path with a root of its own may name the log: anything else would be resolved against
// the updater's current folder, which any program of the user may write to.
TEST(RunLogText, PolicyPathMustBeFull) {
    const struct {
        const wchar_t* path;
        bool full;
    } cases[] = {
        {L"C:\\Windows\\Logs\\update.log", true}, {L"c:/logs/update.log", true},
        {L"\\\\server\\share\\update.log", true}, {L"update.log", false},
        {L"logs\\update.log", false},             {L"C:update.log", false},
        {L"\\Windows\\update.log", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.full, runlog::IsFullPath(c.path)) << std::string(c.path, c.path + std::wcslen(c.path));
    }
}

// A record is always one line: no value it carries can start a line of its own.
TEST(RunLogText, LineHoldsOneRecord) {
    const runlog::LineTime at = {2026, 12, 10, 9, 5, 7, 42};
    const struct {
        const char* name;
        std::string text;
        std::string line;
    } cases[] = {
        {"plain", "row 9: written", "2026-12-10 09:05:07.042 row 9: written\r\n"},
        {"forged line in a value", "value: x\r\n2026-12-10 09:05:07.043 ==== exit code 0",
         "2026-12-10 09:05:07.042 value: x  2026-12-10 09:05:07.043 ==== exit code 0\r\n"},
        {"tab and escape", "a\tb\x1b[2Jc", "2026-12-10 09:05:07.042 a b [2Jc\r\n"},
        {"UTF-8 kept", "C:\\Caf\xc3\xa9", "2026-12-10 09:05:07.042 C:\\Caf\xc3\xa9\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.line, runlog::FormatLine(at, c.text)) << c.name;
}

}  // namespace
