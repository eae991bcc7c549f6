// The live headless run: queued restarts and the clean end on a signal. These
// tests also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/headless/Headless.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

TEST(HeadlessHost, TwoQueuedRestartsRebuildTwice) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    HeadlessHost host;
    SimThreadControl control;
    SimulationThread thread(*simulation, host, control);
    ASSERT_TRUE(thread.Start());

    // Two requests posted before the first is handled.
    host.RequestRestart();
    host.RequestRestart();
    EXPECT_TRUE(host.WaitForRestart(0));
    EXPECT_EQ(HandleQueuedRestarts(host, thread, *simulation, 0), 2);
    EXPECT_EQ(host.QueuedRestarts(), 0);
    EXPECT_FALSE(host.WaitForRestart(0));
    EXPECT_TRUE(thread.Running());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.PeakLiveWorkers(), 1);

    std::lock_guard<std::mutex> guard(simulation->stateMutex);
    EXPECT_EQ(simulation->colonyDeaths, 2);
    EXPECT_EQ(simulation->colony.home, (GridPoint{64, 64}));
}

off_t FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

// A live run at the fastest pace ends cleanly on SIGINT, SIGTERM, SIGHUP and
// SIGPIPE (a reader that quit): exit status 0 and a CSV of whole rows, one
// per step in order.
TEST(HeadlessLive, EndsCleanlyOnASignal) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        TempFolder folder;
        const std::string csv = folder.File("live.csv");
        HeadlessOptions options;
        options.run.SetNumber(ParameterId::SimsPerSecond, kMaxSimsPerSecond);
        options.csvPath = csv.c_str();

        // The header is written once the handlers are in place: from then on
        // the signal cannot end the test process.
        std::thread interrupter([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (FileSize(csv) < 2000 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            kill(getpid(), signalNumber);
        });
        const int status = RunHeadless(options);
        interrupter.join();
        EXPECT_EQ(status, 0);

        std::ifstream in(csv);
        std::vector<std::string> rows;
        for (std::string line; std::getline(in, line);) rows.push_back(line);
        ASSERT_GE(rows.size(), 2u);
        EXPECT_EQ(rows[0], kHeadlessCsvHeader);
        for (size_t i = 1; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].rfind(std::to_string(i) + ",", 0), 0u) << rows[i];
            EXPECT_EQ(rows[i].back(), '"') << "cut row " << rows[i];
        }
    }
    // The previous handlers are back.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// A colony that leaves its viable range in a live run is rebuilt through the
// view's restart: the worker stops, the colony is rebuilt, the worker goes on.
TEST(HeadlessLive, RebuildsAColonyThatLeftItsRange) {
    TempFolder folder;
    const std::string csv = folder.File("restart.csv");
    HeadlessOptions options;
    options.run.SetNumber(ParameterId::SimsPerSecond, kMaxSimsPerSecond);
    options.csvPath = csv.c_str();
    options.prepare = [](Simulation& s) { s.colony.foodReserves = 5000.0f; };

    std::thread interrupter([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (FileSize(csv) < 4000 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        kill(getpid(), SIGINT);
    });
    EXPECT_EQ(RunHeadless(options), 0);
    interrupter.join();

    std::ifstream in(csv);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    ASSERT_GE(rows.size(), 3u);
    // step, ..., food_reserves (12th field), food_supply, colony_deaths (14th)
    auto field = [](const std::string& row, int index) {
        std::stringstream s(row);
        std::string f;
        for (int i = 0; i <= index; ++i) std::getline(s, f, ',');
        return f;
    };
    const std::string& last = rows.back();
    const int deaths = std::stoi(field(last, 13));
    // At least one rebuild; requests queued while the first was handled
    // rebuild again, as the view's restart messages do.
    EXPECT_GE(deaths, 1);
    EXPECT_LT(std::stod(field(last, 11)), 1500.0);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(field(rows[i], 0), std::to_string(i));  // the step count goes on
    }
}

}  // namespace
