#include "afx/command_tail.h"

namespace afx {

const char* CommandTail(const char* commandLine, LeadBytePredicate isLeadByte) {
    if (commandLine == nullptr) return "";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    bool inQuotes = false;
    while (*p > ' ' || (*p != 0 && inQuotes)) {
        if (*p == '"') inQuotes = !inQuotes;
        // A trail byte may look like a blank or a quote; it belongs to its lead byte.
        if (isLeadByte != nullptr && isLeadByte(*p) && p[1] != 0) ++p;
        ++p;
    }
    while (*p != 0 && *p <= ' ') ++p;
    return reinterpret_cast<const char*>(p);
}

}  // namespace afx
