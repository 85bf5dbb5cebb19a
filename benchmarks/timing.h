// Per-call cost of an operation: calibrated batches, the median batch wins, so
// one slow batch (a page fault, the scheduler) does not move the figure.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Cost {
    double nanos = 0;     // median nanoseconds per call
    long long calls = 0;  // calls timed in all
};

template <typename F>
Cost Measure(F&& call, double batchMillis = 40, int batches = 7) {
    using Clock = std::chrono::steady_clock;
    auto timeBatch = [&](long long n) {
        const auto start = Clock::now();
        for (long long i = 0; i < n; ++i) call();
        return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    };
    // Grow the batch until it lasts long enough to time.
    long long n = 1;
    for (double spent = timeBatch(n); spent < batchMillis * 1e6 && n < (1LL << 40);) {
        const double grow = spent > 0 ? batchMillis * 1e6 / spent : 16;
        n = std::max(n + 1, static_cast<long long>(static_cast<double>(n) * std::min(grow * 1.1, 16.0)));
        spent = timeBatch(n);
    }
    std::vector<double> perCall;
    for (int b = 0; b < batches; ++b) perCall.push_back(timeBatch(n) / static_cast<double>(n));
    std::nth_element(perCall.begin(), perCall.begin() + batches / 2, perCall.end());
    return Cost{perCall[batches / 2], n * batches};
}

// Several operations timed in turns: each round runs one batch of every
// operation, so a slow stretch of the machine (other processes, the Wine
// server) weighs on all of them alike and their ratios stay true.
inline std::vector<Cost> MeasureInTurns(const std::vector<std::function<void()>>& calls, double batchMillis = 60,
                                        int rounds = 9) {
    using Clock = std::chrono::steady_clock;
    std::vector<long long> sizes;
    for (const auto& call : calls) {
        // The batch size that lasts about batchMillis, from a short trial.
        long long n = 1;
        for (;;) {
            const auto start = Clock::now();
            for (long long i = 0; i < n; ++i) call();
            const double spent = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (spent >= batchMillis / 8 || n >= (1LL << 40)) {
                n = std::max(1LL, static_cast<long long>(static_cast<double>(n) * batchMillis / std::max(spent, 1e-3)));
                break;
            }
            n *= 4;
        }
        sizes.push_back(n);
    }
    std::vector<std::vector<double>> perCall(calls.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t c = 0; c < calls.size(); ++c) {
            const auto start = Clock::now();
            for (long long i = 0; i < sizes[c]; ++i) calls[c]();
            perCall[c].push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                                 static_cast<double>(sizes[c]));
        }
    }
    std::vector<Cost> costs;
    for (size_t c = 0; c < calls.size(); ++c) {
        auto& times = perCall[c];
        std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
        costs.push_back(Cost{times[rounds / 2], sizes[c] * rounds});
    }
    return costs;
}

// Nanoseconds, microseconds or milliseconds, whichever reads best.
inline std::string Duration(double nanos) {
    char text[32];
    if (nanos < 1e3) std::snprintf(text, sizeof text, "%.0f ns", nanos);
    else if (nanos < 1e6) std::snprintf(text, sizeof text, "%.2f us", nanos / 1e3);
    else std::snprintf(text, sizeof text, "%.2f ms", nanos / 1e6);
    return text;
}

}  // namespace bench
