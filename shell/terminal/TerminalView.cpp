#include "shell/terminal/TerminalView.h"

#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "settings/SimulationBuild.h"
#include "settings/UserGallery.h"
#include "shell/CommandLine.h"
#include "shell/Commands.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "shell/terminal/FrameBuilder.h"
#include "shell/terminal/TerminalKeys.h"
#include "shell/terminal/TerminalScreen.h"
#include "simulation/RuleBaseReload.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

// The window pauses this long after rebuilding a colony; so does the terminal.
constexpr int32_t kRestartPauseMs = 100;
// On the way out the worker is given this long before the terminal is
// restored regardless (and the worker then waited for).
constexpr int32_t kQuitWaitMs = 200;
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / kMaxFramesPerSecond);

using Clock = std::chrono::steady_clock;

// The worker's requests reach the view's loop through the wake pipe.
class TerminalHost final : public SimulationHost {
public:
    explicit TerminalHost(TerminalSignals& signals) : signals(signals) {}

    void RequestRestart() override {
        restarts.fetch_add(1);
        signals.Wake();
    }
    void RequestRepaint() override {
        if (!repaint.exchange(true)) {
            signals.Wake();
        }
    }

    int32_t QueuedRestarts() const { return restarts.load(); }
    bool TakeRestart() {
        int32_t queued = restarts.load();
        while (queued > 0) {
            if (restarts.compare_exchange_weak(queued, queued - 1)) {
                return true;
            }
        }
        return false;
    }
    bool TakeRepaint() { return repaint.exchange(false); }

private:
    TerminalSignals& signals;
    std::atomic<int32_t> restarts{0};
    std::atomic<bool> repaint{false};
};

// The terminal has none of the window's dialogs, texture or camera; the
// commands it shares with the window run through the window's dispatcher.
class NoWindowParts final : public CommandView {
public:
    void OpenDialog(DialogId) override {}
    void ToggleTexture() override {}
    void ResetCamera() override {}
    void ShowAbout() override {}
    void Exit() override {}
};

class TerminalView {
public:
    TerminalView(Simulation& simulation, bool halfBlocks, int32_t rate)
        : simulation(simulation), halfBlocks(halfBlocks), rate(rate), host(signals),
          thread(simulation, host, control), gallery(UserRuleGallery()), reloader(simulation) {
        control.simsPerSecond.store(static_cast<float>(rate));
    }

    int Run();

private:
    enum class Ending { Asked, TerminalGone, Failed };

    Ending Loop();
    // True when the key asks to quit.
    bool HandleKey(int32_t key);
    // r: the rule base after the running one in the gallery (the first after
    // the last), loaded beside the colony as the window's Rules menu does.
    void NextRuleBase();
    // After a resize (and at the start): the terminal's size, then the layout.
    void Resize();
    // False when the terminal cannot be written to any more.
    bool DrawFrame();
    void HandleRestarts();

    Simulation& simulation;
    const bool halfBlocks;
    int32_t rate;

    // Declared in the order of setting up; torn down in reverse, so the
    // worker ends before the terminal is restored and the signals go last.
    TerminalSignals signals;
    StderrCapture capture;
    TerminalScreen screen;
    TerminalHost host;
    SimThreadControl control;
    SimulationThread thread;
    NoWindowParts noWindow;
    RuleGallery gallery;
    std::string lastAsked;  // the rule base r asked for last
    // Last: destroyed first, cancelling a load that still runs.
    RuleBaseReloader reloader;

    ColourDepth depth = ColourDepth::Colours8;
    FrameBuilder frames;
    int writeError = 0;
};

int TerminalView::Run() {
    char error[256] = {};
    bool started = false;
    if (!signals.Ok()) {
        std::snprintf(error, sizeof error, "cannot set up the signal handling: %s",
                      std::strerror(errno));
    } else if (screen.Open(error, sizeof error)) {
        depth = ChooseColourDepth(std::getenv("COLORTERM"), screen.Colours());
        Resize();
        started = thread.Start();
        if (!started) {
            std::snprintf(error, sizeof error, "cannot start the simulation thread");
        }
    }

    Ending ending = Ending::Failed;
    if (started) {
        ending = Loop();
    }
    if (!thread.Stop(kQuitWaitMs)) {
        screen.Restore();
        thread.Join();
    }
    screen.Restore();
    capture.Release();

    if (!started) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error);
        return kExitFailure;
    }
    if (ending == Ending::TerminalGone && signals.EndSignal() != SIGHUP) {
        std::fprintf(stderr, "%s: the terminal went away%s%s\n", kProgramName,
                     writeError != 0 ? ": " : "", writeError != 0 ? std::strerror(writeError) : "");
        return kExitFailure;
    }
    if (ending == Ending::Failed) {
        std::fprintf(stderr, "%s: waiting for input failed: %s\n", kProgramName,
                     std::strerror(writeError));
        return kExitFailure;
    }
    return kExitOk;
}

TerminalView::Ending TerminalView::Loop() {
    Clock::time_point lastFrame = Clock::now() - kFrameInterval;
    bool dirty = true;  // something the view shows changed outside a step
    bool repaint = false;
    while (signals.EndSignal() == 0) {
        int timeoutMs = -1;
        if (dirty || repaint) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
                lastFrame + kFrameInterval - Clock::now());
            timeoutMs = static_cast<int>(std::max<int64_t>(0, wait.count()));
        }
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.WakeFd(), POLLIN, 0}};
        const int ready = poll(waits, 2, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            writeError = errno;
            return Ending::Failed;
        }
        signals.Drain();
        if (signals.EndSignal() != 0) {
            break;
        }
        if (ready > 0 && (waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Ending::TerminalGone;
        }
        if (ready > 0 && (waits[0].revents & POLLIN) != 0) {
            // Readable with nothing to read: the terminal has hung up.
            if (screen.PendingInput() == 0) {
                return Ending::TerminalGone;
            }
            for (int32_t key = screen.ReadKey(); key >= 0; key = screen.ReadKey()) {
                if (HandleKey(key)) {
                    return Ending::Asked;
                }
                dirty = true;
            }
        }
        if (signals.TakeResize()) {
            Resize();
            dirty = true;
        }
        if (signals.TakeSuspend()) {
            screen.Suspend();
            signals.StopHere();
            screen.Resume();
            // The terminal may have been resized or written to meanwhile.
            Resize();
            dirty = true;
        }
        if (signals.TakeContinue()) {
            screen.Reset();
            frames.RedrawAll();
            dirty = true;
        }
        if (host.QueuedRestarts() > 0) {
            HandleRestarts();
            dirty = true;
        }
        repaint = host.TakeRepaint() || repaint;
        const Clock::time_point now = Clock::now();
        if ((dirty || repaint) && now - lastFrame >= kFrameInterval) {
            lastFrame = now;
            dirty = false;
            repaint = false;
            if (!DrawFrame()) {
                return Ending::TerminalGone;
            }
        }
    }
    return Ending::Asked;
}

void TerminalView::HandleRestarts() {
    // The restarts queued now, one rebuild each, as the window handles every
    // restart message; any queued meanwhile wait for the next turn.
    const int32_t due = host.QueuedRestarts();
    for (int32_t i = 0; i < due && host.TakeRestart(); ++i) {
        OnColonyRestart(thread, simulation, kRestartPauseMs);
    }
}

bool TerminalView::HandleKey(int32_t key) {
    switch (ActionForKey(key)) {
        case KeyAction::Quit:
            return true;
        case KeyAction::Pause:
            DispatchCommand(ID_START_STOP, simulation, thread, noWindow);
            break;
        case KeyAction::Trails:
            DispatchCommand(ID_TOGGLE_TRAILS, simulation, thread, noWindow);
            break;
        case KeyAction::ExpertSystem: {
            bool on = false;
            {
                std::lock_guard<std::mutex> guard(simulation.stateMutex);
                on = simulation.expertSystem.on;
            }
            DispatchCommand(on ? ID_EXPERT_OFF : ID_EXPERT_ON, simulation, thread, noWindow);
            break;
        }
        case KeyAction::Faster:
        case KeyAction::Slower:
            rate = StepPace(rate, ActionForKey(key) == KeyAction::Faster ? 1 : -1);
            control.simsPerSecond.store(static_cast<float>(rate));
            break;
        case KeyAction::NewColony:
            // The automatic restart's own rebuild, which also starts a paused
            // simulation again.
            OnColonyRestart(thread, simulation, kRestartPauseMs);
            break;
        case KeyAction::Redraw:
            screen.Reset();
            frames.RedrawAll();
            break;
        case KeyAction::Rules:
            NextRuleBase();
            break;
        case KeyAction::None:
            break;
    }
    return false;
}

void TerminalView::NextRuleBase() {
    const std::vector<const RuleBaseEntry*> choices = gallery.Selectable();
    if (choices.empty()) return;
    // Pressed again before the last switch is done: on from the one asked.
    std::string from = lastAsked;
    if (!reloader.Busy()) {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        from = simulation.expertSystem.ruleBaseName;
    }
    size_t next = 0;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i]->name == from) next = (i + 1) % choices.size();
    }
    lastAsked = choices[next]->name;
    reloader.Switch(*choices[next]);
}

void TerminalView::Resize() {
    int32_t cols = 0;
    int32_t rows = 0;
    screen.QuerySize(cols, rows);
    // ncurses clears its own idea of the screen now, not in the middle of a
    // later frame.
    screen.Reset();
    int32_t worldWidth = 0;
    int32_t worldHeight = 0;
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        worldWidth = simulation.worldWidth;
        worldHeight = simulation.worldHeight;
    }
    frames.Resize(cols, rows, worldWidth, worldHeight, halfBlocks, depth);
}

bool TerminalView::DrawFrame() {
    FrameState state;
    state.paused = !thread.Running();
    state.rate = rate;
    frames.Build(simulation, state);
    if (frames.Length() > 0 && !screen.Write(frames.Data(), frames.Length(), signals)) {
        writeError = errno;
        // Interrupted by an ending signal: not a lost terminal.
        return signals.EndSignal() != 0;
    }
    return true;
}

}  // namespace

int RunTerminal(const CommandLine& line) {
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
        std::fprintf(stderr,
                     "%s: --terminal needs a terminal on standard input and output (try "
                     "--headless)\n",
                     kProgramName);
        return kExitFailure;
    }
    // Only the character set follows the user's locale: the statistics keep
    // their decimal points.
    std::setlocale(LC_CTYPE, "");
    const bool halfBlocks = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    RunDescription run;
    std::string error;
    if (const int status = PrepareRun(line, StartRequest{}, run, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }
    try {
        // Before the terminal is taken: rule base messages stay readable.
        ProvideRunFiles(run, false);
        std::unique_ptr<Simulation> simulation = BuildSimulation(run);
        const int32_t rate = static_cast<int32_t>(run.Number(ParameterId::SimsPerSecond));
        auto view = std::make_unique<TerminalView>(*simulation, halfBlocks, rate);
        return view->Run();
    } catch (const std::exception& failure) {
        // The view's members have restored the terminal on the way here.
        std::fprintf(stderr, "%s: %s\n", kProgramName, failure.what());
        return kExitFailure;
    }
}
