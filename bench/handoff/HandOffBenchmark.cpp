// The hand-off to a running store client as the downloader performs it, without the pause that
// the launch sequence makes between activating and notifying: the request is written into the
// drop folder, the client is activated over the bus and notified. The reference client consumes
// every request meanwhile, as a real client would.
#include "HandOffServices.h"
#include "NotificationFiles.h"
#include "PrivateSessionBus.h"
#include "ReferenceClient.h"
#include "WaitUntil.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace qby::harness::storeclient {
namespace {

const foundation::DownloadRequest kRequest{
    {"Product", "Harbour Lights"},
    {"Token", "5F0C2A-8841-4B0E-9E67-7B1D2C3A4F50"},
    {"Store", "https://www.quillbay.com/store/harbour-lights"}};

// One temporary home, one private bus, one running reference client for the whole run.
class HandOffWorld {
public:
    HandOffWorld()
        : connection_(bus_.connection("downloader")), client_(home_.path(), bus_.address()) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/.local/share"));
        services_ = std::make_unique<HandOffServices>(connection_, home_.path());
        ready_ = bus_.isRunning() && client_.start() && waitUntil([this] {
                     return connection_.interface()
                         ->isServiceRegistered(QStringLiteral("com.quillbay.Client2"))
                         .value();
                 });
    }

    bool ready() const { return ready_; }
    HandOffServices& services() { return *services_; }

    // Waits until the client has taken every request; how many are still waiting. The client
    // writes each request to disk before it takes the next, so a heap of them takes a while.
    qsizetype waitingRequests() {
        const QDir drop(client_.dropFolder());
        waitUntil([&] { return drop.entryList(QDir::Files | QDir::Hidden).isEmpty(); }, 60000);
        return drop.entryList(QDir::Files | QDir::Hidden).size();
    }

private:
    QTemporaryDir home_;
    harness::PrivateSessionBus bus_;
    QDBusConnection connection_;
    ReferenceClient client_;
    std::unique_ptr<HandOffServices> services_;
    bool ready_ = false;
};

HandOffWorld* world = nullptr;

void handOff(benchmark::State& state, bool lookUpEachTime) {
    if (!world->ready()) {
        state.SkipWithError("the reference client did not start on the private bus");
        return;
    }
    client::QBYClientProxy& proxy = world->services().proxy();
    const client::NotificationFileServices files = world->services().fileServices();
    std::shared_ptr<platform::RunningApplication> running = proxy.isClientRunning();
    bool accepted = true;
    for (auto _ : state) {
        if (lookUpEachTime) {
            running = proxy.isClientRunning();
        }
        client::writeNotificationFile(kRequest, QStringLiteral("download"), files);
        accepted = running && running->activateWithOptions(platform::kActivateIgnoringOtherApps) &&
                   accepted;
        proxy.notifyClient(QStringLiteral("QBY.Helper"));
        // A launch meets a client that is idle: let it take this request before the next one.
        state.PauseTiming();
        world->waitingRequests();
        state.ResumeTiming();
    }
    if (!accepted) {
        state.SkipWithError("an activation was refused");
    }
    state.counters["left_in_folder"] = static_cast<double>(world->waitingRequests());
}

// Write, activate, notify: the running road once the client is known, the client idle at each
// start as it is when a customer starts the downloader.
void BM_HandOff(benchmark::State& state) {
    handOff(state, false);
}

// The same, finding the client on the bus first, as each launch does.
void BM_HandOffWithLookup(benchmark::State& state) {
    handOff(state, true);
}

// The three steps apart, to see where the time goes.
void BM_WriteNotificationFile(benchmark::State& state) {
    const client::NotificationFileServices files = world->services().fileServices();
    for (auto _ : state) {
        client::writeNotificationFile(kRequest, QStringLiteral("download"), files);
    }
    // Let the client take them, so that they do not burden the next benchmark.
    world->services().proxy().notifyClient(QStringLiteral("QBY.Helper"));
    state.counters["left_in_folder"] = static_cast<double>(world->waitingRequests());
}

void BM_Activate(benchmark::State& state) {
    const auto running = world->services().proxy().isClientRunning();
    if (!running) {
        state.SkipWithError("the reference client is not running");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            running->activateWithOptions(platform::kActivateIgnoringOtherApps));
    }
}

void BM_Notify(benchmark::State& state) {
    for (auto _ : state) {
        world->services().proxy().notifyClient(QStringLiteral("QBY.Other"));
    }
}

BENCHMARK(BM_WriteNotificationFile)->Unit(benchmark::kMillisecond)->Repetitions(9);
BENCHMARK(BM_Activate)->Unit(benchmark::kMillisecond)->Repetitions(9);
BENCHMARK(BM_Notify)->Unit(benchmark::kMillisecond)->Repetitions(9);
BENCHMARK(BM_HandOff)->Unit(benchmark::kMillisecond)->Repetitions(9);
BENCHMARK(BM_HandOffWithLookup)->Unit(benchmark::kMillisecond)->Repetitions(9);

}  // namespace
}  // namespace qby::harness::storeclient

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    qby::harness::storeclient::HandOffWorld world;
    qby::harness::storeclient::world = &world;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
