// Reading ahead the access rules of the files an update is about to replace, on a thread of
// its own, while the update itself stops the product and writes the rows before them. Reading a
// file's rules costs an open of its own; ahead of time that open is paid while the update waits
// for other things.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "update/access_rules.h"

class RulesPrefetch {
public:
    // Starts reading the rules of `targets` (full paths, in the order they will be asked
    // for) and makes this the prefetch that Find consults until it is destroyed.
    explicit RulesPrefetch(std::vector<std::wstring> targets);
    // Stops reading (what was not read yet is not) and waits for the thread.
    ~RulesPrefetch();
    RulesPrefetch(const RulesPrefetch&) = delete;
    RulesPrefetch& operator=(const RulesPrefetch&) = delete;

    // The rules of `target` as the running prefetch read them, or reads them now when the
    // thread has not come to it yet. Null when no prefetch runs, `target` is not among its
    // targets, or its rules could not be read (the file did not exist then, say): the caller
    // then reads them itself.
    static const AccessRules* Find(const wchar_t* target);

private:
    enum State : int { kWaiting, kReading, kRead };
    struct Slot {
        std::wstring path;
        AccessRules rules;
        std::atomic<int> state{kWaiting};
    };

    // Reads slot `i` unless the other thread took it first; then waits for it to be read.
    const Slot& Take(size_t i);
    const AccessRules* Lookup(const wchar_t* target);

    std::unique_ptr<Slot[]> m_slots;
    size_t m_count = 0;
    size_t m_next = 0;  // where the update's next lookup is expected
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
