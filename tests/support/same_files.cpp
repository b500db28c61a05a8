#include "same_files.h"

#include <algorithm>

#include "test_env.h"

namespace testenv {

::testing::AssertionResult SameFiles(const FileSnapshot& before, const FileSnapshot& after) {
    auto was = before.begin();
    auto is = after.begin();
    for (; was != before.end() && is != after.end(); ++was, ++is) {
        if (was->first < is->first) return ::testing::AssertionFailure() << Narrow(was->first) << " went";
        if (is->first < was->first) return ::testing::AssertionFailure() << Narrow(is->first) << " appeared";
        if (was->second == is->second) continue;
        const std::string& old = was->second;
        const std::string& now = is->second;
        const size_t common = std::min(old.size(), now.size());
        const auto at = std::mismatch(old.begin(), old.begin() + common, now.begin()).first - old.begin();
        return ::testing::AssertionFailure() << Narrow(is->first) << " differs from byte " << at << " on ("
                                             << old.size() << " bytes before, " << now.size() << " after)";
    }
    if (was != before.end()) return ::testing::AssertionFailure() << Narrow(was->first) << " went";
    if (is != after.end()) return ::testing::AssertionFailure() << Narrow(is->first) << " appeared";
    return ::testing::AssertionSuccess();
}

}  // namespace testenv
