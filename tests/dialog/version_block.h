// The version resource (VS_VERSIONINFO) as a tree of keyed nodes, so that a test can list
// every entry it holds, not only look up the ones it knows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dlgres {

struct VersionNode {
    std::wstring key;
    bool isText = false;    // wType 1: the value is a UTF-16 string
    std::string value;      // the value's bytes as stored (without the padding after them)
    std::vector<VersionNode> children;

    // A text value without its terminating nulls, in the ANSI code page.
    std::string Text() const;
    // The first child with this key, or null.
    const VersionNode* Child(const std::wstring& childKey) const;
};

// Parses the bytes of a version resource into `root` (key "VS_VERSION_INFO"). False (with
// `error`) when a node's length runs past its parent's end or below its own header.
bool ParseVersionBlock(const std::string& bytes, VersionNode* root, std::string* error);

}  // namespace dlgres
