// Makes the native stand-in's registry refuse a chosen call, through its call
// filter: the n-th call of an operation from now (1: the next one) answers
// `code` and changes nothing; n == 0 disarms. One armed failure per
// operation. platform::registry_store::Reset removes the filter, which
// disarms them all. Native host tests only.
#pragma once

#include <array>
#include <cstddef>

#include "platform/host/registry_store.h"

namespace registry_failures {

struct Schedule {
    std::array<unsigned, 10> countdown{};
    std::array<LONG, 10> code{};
};

inline Schedule& TheSchedule() {
    static Schedule schedule;
    return schedule;
}

inline bool Refuse(platform::registry_store::Operation operation, LONG* code) {
    Schedule& schedule = TheSchedule();
    const auto slot = static_cast<std::size_t>(operation);
    if (schedule.countdown[slot] == 0 || --schedule.countdown[slot] != 0) return false;
    *code = schedule.code[slot];
    return true;
}

inline void FailNth(platform::registry_store::Operation operation, unsigned n, LONG code) {
    namespace store = platform::registry_store;
    // A reset store has dropped the filter: what was armed before it is void.
    if (store::GetCallFilter() != &Refuse) {
        TheSchedule() = Schedule();
        store::SetCallFilter(&Refuse);
    }
    const auto slot = static_cast<std::size_t>(operation);
    TheSchedule().countdown[slot] = n;
    TheSchedule().code[slot] = code;
}

}  // namespace registry_failures
