#include <gtest/gtest.h>

#include <string>

#include "afx/command_tail.h"

namespace {

// Shift-JIS style lead bytes, so that a trail byte of 0x20 or 0x22 can be tested without
// depending on the prefix's code page.
bool SjisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

TEST(CommandTail, RemovesTheProgramNameByTheStartUpRules) {
    struct Case {
        const char* name;
        const char* line;
        afx::LeadBytePredicate lead;
        const char* tail;
    } cases[] = {
        {"bare name, switch", "update.exe -s", NoLead, "-s"},
        {"several blanks", "update.exe    -s", NoLead, "-s"},
        {"tab", "update.exe\t-s", NoLead, "-s"},
        {"control characters", "update.exe\x01\x1f -s", NoLead, "-s"},
        {"quoted name with blanks", "\"C:\\Program Files\\Ostrel Pelmora update.exe\" -s", NoLead, "-s"},
        {"quote inside the name", "C:\\a\" b\"\\u.exe -s", NoLead, "-s"},
        {"unclosed quote swallows all", "\"C:\\a b.exe -s", NoLead, ""},
        {"empty tail", "update.exe", NoLead, ""},
        {"only blanks after name", "update.exe   ", NoLead, ""},
        {"trailing blanks kept", "update.exe -s  ", NoLead, "-s  "},
        {"further argument kept", "update.exe -s x", NoLead, "-s x"},
        {"empty command line", "", NoLead, ""},
        {"double-byte trail 0x20 stays in name", "\x83\x20name.exe -s", SjisLead, "-s"},
        {"double-byte trail quote does not toggle", "\x83\x22name.exe -s", SjisLead, "-s"},
        {"same bytes single-byte: blank ends name", "\x83\x20name.exe -s", NoLead, "name.exe -s"},
        {"lead byte at the very end", "name\x83", SjisLead, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(c.tail), afx::CommandTail(c.line, c.lead)) << c.name;
    }
    EXPECT_STREQ("", afx::CommandTail(nullptr, NoLead));
}

}  // namespace
