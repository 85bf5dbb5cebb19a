#include "server/termination_list.h"

#include "platform/allocation.h"

namespace server {

TerminationList::~TerminationList() {
    // Nodes that were never run are only freed: their callbacks belong to a
    // teardown that did not happen.
    while (head_ != nullptr) {
        Node* next = head_->next;
        platform::TaskFree(head_);
        head_ = next;
    }
}

HRESULT TerminationList::Add(TerminationCallback callback, DWORD_PTR argument) noexcept {
    auto* node = static_cast<Node*>(platform::TaskAlloc(sizeof(Node)));
    if (node == nullptr) return E_OUTOFMEMORY;
    node->callback = callback;
    node->argument = argument;
    LockGuard guard(lock_);
    node->next = head_;
    head_ = node;
    return S_OK;
}

void TerminationList::Run() noexcept {
    for (;;) {
        Node* node;
        {
            // A callback may add to the list again; it is taken one node at a
            // time so that such an addition runs too.
            LockGuard guard(lock_);
            node = head_;
            if (node == nullptr) return;
            head_ = node->next;
        }
        node->callback(node->argument);
        platform::TaskFree(node);
    }
}

}  // namespace server
