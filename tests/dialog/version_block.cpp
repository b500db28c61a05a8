#include "version_block.h"

#include <cstring>

#include "test_env.h"

namespace dlgres {

namespace {

size_t Align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

WORD WordAt(const std::string& bytes, size_t at) {
    WORD w = 0;
    std::memcpy(&w, bytes.data() + at, sizeof w);
    return w;
}

// Parses the node at `at`, which must end by `end`.
bool ParseNode(const std::string& bytes, size_t at, size_t end, VersionNode* node, std::string* error) {
    if (end - at < 6) {
        *error = "node header cut short at byte " + std::to_string(at);
        return false;
    }
    WORD length = WordAt(bytes, at);
    WORD valueLength = WordAt(bytes, at + 2);
    WORD type = WordAt(bytes, at + 4);
    if (length < 6 || length > end - at) {
        *error = "node length " + std::to_string(length) + " out of bounds at byte " + std::to_string(at);
        return false;
    }
    size_t nodeEnd = at + length;
    size_t p = at + 6;
    node->isText = type == 1;
    for (;;) {
        if (nodeEnd - p < 2) {
            *error = "key runs past its node at byte " + std::to_string(p);
            return false;
        }
        WORD c = WordAt(bytes, p);
        p += 2;
        if (c == 0) break;
        node->key += static_cast<wchar_t>(c);
    }
    p = Align4(p);
    size_t valueBytes = node->isText ? valueLength * 2u : valueLength;
    if (valueBytes > 0) {
        if (p > nodeEnd || nodeEnd - p < valueBytes) {
            *error = "value runs past its node \"" + testenv::Narrow(node->key) + "\"";
            return false;
        }
        node->value.assign(bytes, p, valueBytes);
        p += valueBytes;
    }
    p = Align4(p);
    while (p < nodeEnd) {
        VersionNode child;
        if (!ParseNode(bytes, p, nodeEnd, &child, error)) return false;
        p = Align4(p + WordAt(bytes, p));
        node->children.push_back(child);
    }
    return true;
}

}  // namespace

std::string VersionNode::Text() const {
    std::wstring text;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(WordAt(value, i));
        if (c == 0) break;
        text += c;
    }
    return testenv::Narrow(text);
}

const VersionNode* VersionNode::Child(const std::wstring& childKey) const {
    for (const VersionNode& child : children) {
        if (child.key == childKey) return &child;
    }
    return nullptr;
}

bool ParseVersionBlock(const std::string& bytes, VersionNode* root, std::string* error) {
    *root = VersionNode();
    return ParseNode(bytes, 0, bytes.size(), root, error);
}

}  // namespace dlgres
