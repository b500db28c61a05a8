#include "update/rules_prefetch.h"

#include <cwchar>

namespace {

RulesPrefetch* g_running = nullptr;

}  // namespace

RulesPrefetch::RulesPrefetch(std::vector<std::wstring> targets)
    : m_slots(new Slot[targets.size()]), m_count(targets.size()) {
    for (size_t i = 0; i < m_count; ++i) m_slots[i].path = std::move(targets[i]);
    g_running = this;
    m_thread = std::thread([this] {
        for (size_t i = 0; i < m_count && !m_stop.load(std::memory_order_relaxed); ++i) Take(i);
    });
}

RulesPrefetch::~RulesPrefetch() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (g_running == this) g_running = nullptr;
}

const RulesPrefetch::Slot& RulesPrefetch::Take(size_t i) {
    Slot& slot = m_slots[i];
    int expected = kWaiting;
    if (slot.state.compare_exchange_strong(expected, kReading, std::memory_order_acquire)) {
        slot.rules.ReadFrom(slot.path.c_str());
        slot.state.store(kRead, std::memory_order_release);
        return slot;
    }
    // The other thread is reading it: one open, which ends soon.
    while (slot.state.load(std::memory_order_acquire) != kRead) ::SwitchToThread();
    return slot;
}

const AccessRules* RulesPrefetch::Lookup(const wchar_t* target) {
    // The rows are asked for in the order given: the next slot is almost always the one.
    size_t i = m_next < m_count && std::wcscmp(m_slots[m_next].path.c_str(), target) == 0 ? m_next : m_count;
    for (size_t j = 0; i == m_count && j < m_count; ++j) {
        if (std::wcscmp(m_slots[j].path.c_str(), target) == 0) i = j;
    }
    if (i == m_count) return nullptr;
    m_next = i + 1;
    const Slot& slot = Take(i);
    return slot.rules.Empty() ? nullptr : &slot.rules;
}

const AccessRules* RulesPrefetch::Find(const wchar_t* target) {
    return g_running != nullptr ? g_running->Lookup(target) : nullptr;
}
