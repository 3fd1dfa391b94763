// 100,000 customers whose downloads meet one outage of the store, each retrying as the
// downloader's own policy (DownloadRetryPolicy) says, on a simulated clock: how many requests a
// second the store receives at worst once it is back (and over the whole run), with the
// policy's random pauses and with every pause at its ceiling (no jitter), and when the last
// customer is served or gives up.
//
//   bench_fleet [SCENARIO]   SCENARIO: "running" (the default), "arrivals" or "cut"
//
// Customers start at 1,000 a second, and the store fails every request for 60 s:
// running:  from its 60th second, while those who came in the 30 s before are downloading
//           (a download takes 30 s): their transfers are cut at the same instant, and those
//           who come during the outage fail their first request.
// arrivals: from its start: no one is downloading yet, every customer fails a first request
//           of their own, out of step with the others.
// cut:      from its 100th second, with every customer still downloading: all 100,000
//           transfers are cut at the same instant.
// A failed request fails at once and brings no bytes; once the store is back every request
// succeeds and the customer leaves.
#include "downloader/DownloadRetryPolicy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <queue>
#include <random>
#include <vector>

namespace {

using qby::downloader::DownloadRetryPolicy;

constexpr int kCustomers = 100'000;
constexpr qint64 kArrivalsPerSecond = 1'000;
constexpr qint64 kOutageMs = 60'000;

struct Outcome {
    // The most requests in one second: once the store is back, and over the whole run.
    qint64 peakOnceBack = 0;
    qint64 peakPerSecond = 0;
    qint64 drainedMs = 0;
    qint64 requests = 0;
    int gaveUp = 0;
};

struct Scenario {
    const char* name;
    qint64 outageStartMs;
    qint64 downloadMs;  // how long a download takes that nothing interrupts
};

constexpr Scenario kScenarios[] = {
    {"running", 60'000, 30'000},
    {"arrivals", 0, 30'000},
    {"cut", kCustomers * 1000 / kArrivalsPerSecond, kCustomers * 1000 / kArrivalsPerSecond},
};

struct Request {
    qint64 atMs;
    int customer;
    bool operator>(const Request& other) const { return atMs > other.atMs; }
};

Outcome simulate(const Scenario& scenario, const std::function<double()>& share) {
    // The store fails from outageStartMs for kOutageMs.
    const qint64 outageStartMs = scenario.outageStartMs;
    std::vector<DownloadRetryPolicy> policies(kCustomers, DownloadRetryPolicy(share));
    std::priority_queue<Request, std::vector<Request>, std::greater<>> requests;
    Outcome outcome;
    // A failed try at nowMs: the next request, or the customer's end.
    auto failed = [&](int customer, qint64 nowMs, qint64 newBytes) {
        const std::optional<qint64> pause = policies[customer].pauseAfterFailedTry(nowMs, newBytes);
        if (pause) {
            requests.push({nowMs + *pause, customer});
        } else {
            ++outcome.gaveUp;
            outcome.drainedMs = std::max(outcome.drainedMs, nowMs - outageStartMs);
        }
    };
    std::map<qint64, qint64> perSecond;
    for (int customer = 0; customer < kCustomers; ++customer) {
        const qint64 arrivalMs = customer * 1000 / kArrivalsPerSecond;
        policies[customer].start(arrivalMs);
        if (arrivalMs < outageStartMs) {
            // Downloading since it arrived: done before the outage, or cut at its start having
            // brought bytes.
            ++perSecond[arrivalMs / 1000];
            ++outcome.requests;
            if (arrivalMs + scenario.downloadMs > outageStartMs) failed(customer, outageStartMs, 1);
        } else {
            requests.push({arrivalMs, customer});
        }
    }
    while (!requests.empty()) {
        const Request request = requests.top();
        requests.pop();
        ++perSecond[request.atMs / 1000];
        ++outcome.requests;
        if (request.atMs >= outageStartMs && request.atMs < outageStartMs + kOutageMs) {
            failed(request.customer, request.atMs, 0);
        } else {
            outcome.drainedMs = std::max(outcome.drainedMs, request.atMs - outageStartMs);
        }
    }
    for (const auto& [second, count] : perSecond) {
        outcome.peakPerSecond = std::max(outcome.peakPerSecond, count);
        if (second * 1000 >= outageStartMs + kOutageMs)
            outcome.peakOnceBack = std::max(outcome.peakOnceBack, count);
    }
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    const Scenario* scenario = &kScenarios[0];
    for (const Scenario& known : kScenarios) {
        if (argc > 1 && std::strcmp(argv[1], known.name) == 0) scenario = &known;
    }
    std::mt19937_64 engine(20261208);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const Outcome jittered = simulate(*scenario, [&] { return uniform(engine); });
    const Outcome stepped = simulate(*scenario, [] { return 1.0; });
    // The store's worry is the crowd it meets as it comes back; the whole run's peak includes
    // the instant of the cut, when every customer's first retry goes at once, jitter or not.
    std::printf("peak %lld requests/s with jitter, %lld without\n",
                static_cast<long long>(jittered.peakOnceBack),
                static_cast<long long>(stepped.peakOnceBack));
    std::printf(
        "over the whole run, the outage's start included: peak %lld requests/s with "
        "jitter, %lld without\n",
        static_cast<long long>(jittered.peakPerSecond),
        static_cast<long long>(stepped.peakPerSecond));
    std::printf(
        "queue drained %.1f s after the outage began with jitter (%d gave up, %lld "
        "requests), %.1f s without (%d gave up, %lld requests)\n",
        jittered.drainedMs / 1000.0, jittered.gaveUp, static_cast<long long>(jittered.requests),
        stepped.drainedMs / 1000.0, stepped.gaveUp, static_cast<long long>(stepped.requests));
    return 0;
}
