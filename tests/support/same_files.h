// Comparing two snapshots of a folder's files (e2e::Snapshot) in a test, so that a failure
// names the file that differs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace testenv {

// Every file below a folder with its bytes, sorted by path, as e2e::Snapshot gives them.
using FileSnapshot = std::vector<std::pair<std::wstring, std::string>>;

// Success when `after` holds the same files with the same bytes as `before`. Otherwise a
// failure naming the first path that went, appeared or changed, and for a changed file the
// first byte offset where it differs and both sizes.
::testing::AssertionResult SameFiles(const FileSnapshot& before, const FileSnapshot& after);

}  // namespace testenv
