// Clean-up callbacks run when the module is torn down. New callbacks go to the
// head, so the list runs the most recently added one first: a callback added
// later may depend on one added earlier, never the other way round.
#pragma once

#include "platform/win32.h"
#include "server/critical_section.h"

namespace server {

using TerminationCallback = void (*)(DWORD_PTR argument);

class TerminationList {
public:
    explicit TerminationList(CriticalSection& lock) noexcept : lock_(lock) {}
    ~TerminationList();
    TerminationList(const TerminationList&) = delete;
    TerminationList& operator=(const TerminationList&) = delete;

    // E_OUTOFMEMORY when the node can't be had; nothing is added then.
    HRESULT Add(TerminationCallback callback, DWORD_PTR argument) noexcept;
    // Calls every callback from the head on and frees its node; the list is
    // empty afterwards.
    void Run() noexcept;

private:
    struct Node {
        TerminationCallback callback;
        DWORD_PTR argument;
        Node* next;
    };

    CriticalSection& lock_;
    Node* head_ = nullptr;
};

}  // namespace server
