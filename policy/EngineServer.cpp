// The engine process: loads one rule base and runs passes over it on request,
// sandboxed, for the expert system that started it.
#include "policy/EngineServer.h"

#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "policy/EngineProtocol.h"
#include "policy/EngineSandbox.h"
#include "policy/RuleEngine.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

constexpr const char* kProgram = "marrowick-engine";
// Exit statuses of the engine's own making (a rule base's (exit) may use any).
constexpr int kExitStartedByHand = 2;
constexpr int kExitProtocol = 3;
// Freed memory the engine keeps for its next environment.
constexpr int kKeptHeapBytes = 64 << 20;
// A request larger than the largest rule base with its name is not ours.
constexpr size_t kMaxRequestBytes = kMaxRuleBaseBytes + 8192;

// Answers are built here: one at a time, never on the stack a rule base
// recurses on.
char answer[kMaxAnswerBytes];

bool WriteAll(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(kEngineSocketFd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Sends a finished frame; a parent that stopped listening ends the engine.
void Send(FrameWriter& writer) {
    const size_t length = writer.Finish();
    if (length == 0 || !WriteAll(answer, length)) _exit(kExitProtocol);
}

// The engine's own ways out: a rule base's (exit) leaves at once, by _exit
// (atexit work could want calls the sandbox refuses), and the parent reads
// the status; a failed allocation ends the engine by the signal that says
// so, which no rule base can send.
int NoLogicalName(void*, const char*) noexcept { return 0; }
int NoPrint(void*, const char*, const char*) noexcept { return 1; }
int ExitNow(void*, int status) noexcept { _exit(status & 0xFF); }
[[noreturn]] void OutOfMemoryNow() noexcept {
    raise(kEngineOutOfMemorySignal);
    _exit(1);  // not reached: the signal's default action ends the process
}
int OutOfMemory(void*, size_t) noexcept { OutOfMemoryNow(); }

// ---------------------------------------------------------------------------
// Refused facilities
//
// The sandbox makes every call that touches files or starts programs fail;
// the engine's functions for them would then fail without a word, or with a
// misleading one. Each is replaced by one that does nothing, returns what the
// original returns on failure, and notes its name for the expert system,
// which tells the rule base's author once.
constexpr const char* kRefusedFacilities[] = {
    "system",        "open",          "remove",        "rename",
    "load",          "load*",         "bload",         "bsave",
    "save",          "batch",         "batch*",        "dribble-on",
    "load-facts",    "save-facts",    "load-instances", "restore-instances",
    "save-instances", "bload-instances", "bsave-instances", "constructs-to-c",
    "fetch",         "toss",          "print-region",  "get-region",
};

// The name the rule base called: the function of the expression the engine
// is evaluating.
void NoteRefusedCall(void* environment) noexcept {
    RuleEngine* engine = static_cast<RuleEngine*>(GetEnvironmentContext(environment));
    const struct expr* call = EvaluationData(environment)->CurrentExpression;
    if (engine == nullptr) return;
    if (call != nullptr && call->type == FCALL && call->value != nullptr) {
        engine->NoteRefused(ValueToString(ExpressionFunctionCallName(call)));
    } else {
        engine->NoteRefused("a file or process function");
    }
}

// One stand-in per kind of value the originals return, each the original's
// value for failure.
void RefusedVoid(void* environment) { NoteRefusedCall(environment); }
int RefusedBoolean(void* environment) {
    NoteRefusedCall(environment);
    return 0;
}
long long RefusedCount(void* environment) {
    NoteRefusedCall(environment);
    return -1;
}
void* RefusedString(void* environment) {
    NoteRefusedCall(environment);
    return EnvAddSymbol(environment, "");
}
void RefusedValue(void* environment, DATA_OBJECT* result) {
    NoteRefusedCall(environment);
    SetpType(result, SYMBOL);
    SetpValue(result, EnvFalseSymbol(environment));
}

// Replaces each facility the engine has with its stand-in, keeping its name,
// kind of value and argument rules, so that a rule base parses as before.
void RefuseFacilities(void* environment) {
    for (const char* name : kRefusedFacilities) {
        const FunctionDefinition* original = FindFunction(environment, name);
        if (original == nullptr) continue;
        const char kind = original->returnValueType;
        const char* const restrictions = original->restrictions;
        switch (kind) {
            case 'v':
                EnvDefineFunction2(environment, name, kind, PTIEF RefusedVoid, "RefusedVoid", restrictions);
                break;
            case 'b':
                EnvDefineFunction2(environment, name, kind, PTIEF RefusedBoolean, "RefusedBoolean",
                                   restrictions);
                break;
            case 'l':
                EnvDefineFunction2(environment, name, kind, PTIEF RefusedCount, "RefusedCount",
                                   restrictions);
                break;
            case 's':
                EnvDefineFunction2(environment, name, kind, PTIEF RefusedString, "RefusedString",
                                   restrictions);
                break;
            case 'u':
                EnvDefineFunction2(environment, name, kind, PTIEF RefusedValue, "RefusedValue",
                                   restrictions);
                break;
            default:
                break;  // no such kind among them: the sandbox alone refuses it
        }
    }
}

void IgnoreSignal(int signalNumber) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

// Everything but the standard descriptors and the socket: a descriptor the
// parent left open by mistake must not reach a rule base.
void CloseOtherDescriptors() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, kEngineSocketFd + 1, ~0u, 0) == 0) return;
#endif
    const long last = sysconf(_SC_OPEN_MAX);
    for (long fd = kEngineSocketFd + 1; fd < last && fd < 65536; ++fd) close(static_cast<int>(fd));
}

bool ParseParent(const char* text, pid_t& parent) {
    if (text == nullptr || *text == '\0') return false;
    long value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || value > 1000000000L) return false;
        value = value * 10 + (*c - '0');
    }
    parent = static_cast<pid_t>(value);
    return value > 1;
}

void AnswerLoad(RuleEngine& engine, FrameReader& reader, bool& loaded) {
    const char* name = nullptr;
    size_t nameLength = 0;
    const char* text = nullptr;
    size_t textLength = 0;
    reader.Bytes(name, nameLength);
    reader.Bytes(text, textLength);
    if (!reader.AtEnd() || loaded) _exit(kExitProtocol);
    loaded = true;
    const std::string source(name, nameLength);
    const LoadResult result = engine.LoadText(source.c_str(), text, textLength);

    FrameWriter writer(answer, sizeof answer, EngineMessage::Loaded);
    writer.Word(result == LoadResult::OverBudget ? kLoadedOverBudget
                : result == LoadResult::HasErrors || result == LoadResult::CannotRead
                    ? kLoadedWithErrors
                    : kLoadedClean);
    writer.Word(static_cast<uint32_t>(engine.work));
    writer.Bytes(engine.errorText.text, engine.errorText.length);
    WriteTemplateReport(writer, engine.WorldReport(), kWorldSlotCount);
    WriteTemplateReport(writer, engine.ColonyReport(), kColonySlotCount);
    WriteDiagnostics(writer, engine.diagnostics, engine.diagnosticCount, engine.diagnosticsDropped);
    writer.Bytes(engine.ruleNames.data(), engine.ruleNames.size());
    writer.Bytes(engine.refusedCalls.data(), engine.refusedCalls.size());
    Send(writer);
}

void AnswerPass(RuleEngine& engine, FrameReader& reader) {
    const uint32_t flags = reader.Word();
    char symbols[6][kMaxSymbolBytes + 1];
    for (auto& symbol : symbols) reader.Text(symbol, sizeof symbol);
    if (!reader.AtEnd()) _exit(kExitProtocol);
    engine.SetEcho((flags & kPassEcho) != 0);
    engine.SetTraceRules((flags & kPassTrace) != 0);
    const PassFacts facts{symbols[0], symbols[1], symbols[2], symbols[3], symbols[4], symbols[5]};
    const PassResult result = engine.Pass(facts);

    FrameWriter writer(answer, sizeof answer, EngineMessage::Listed);
    writer.Word(static_cast<uint32_t>(result));
    writer.Word(static_cast<uint32_t>(engine.work));
    writer.Word(static_cast<uint32_t>(engine.firings));
    writer.Bytes(reinterpret_cast<const char*>(engine.conclusions), engine.conclusionCount);
    writer.Bytes(engine.consoleText.text, engine.consoleText.length);
    writer.Bytes(engine.errorText.text, engine.errorText.length);
    writer.Bytes(engine.refusedCalls.data(), engine.refusedCalls.size());
    writer.Bytes(reinterpret_cast<const char*>(engine.fired.data()),
                 engine.fired.size() * sizeof(uint32_t));
    Send(writer);
}

void FailStart(const char* reason) {
    FrameWriter writer(answer, sizeof answer, EngineMessage::StartFailed);
    writer.Text(reason);
    Send(writer);
    _exit(1);
}

// A rule engine as this process makes one: its output captured, a rule
// base's (exit) and a failed allocation ending the process, the facilities a
// rule base may not use replaced by their stand-ins.
std::unique_ptr<RuleEngine> NewEngine() {
    auto engine = std::make_unique<RuleEngine>();
    if (!engine->Usable()) FailStart("the rule engine could not create its environment");
    engine->SetCapture(true);
    void* const environment = engine->Environment();
    EnvAddRouter(environment, "marrowick-exit", 0, NoLogicalName, NoPrint, nullptr, nullptr,
                 ExitNow);
    EnvSetOutOfMemoryFunction(environment, OutOfMemory);
    RefuseFacilities(environment);
    return engine;
}

// The next rule base gets a rule engine exactly as a new process has it: a
// new environment (facts, rules, globals, the counter of generated names),
// and the C library's random sequence back at its start, as in a process
// nobody seeded (the engine's (random) and its random strategy draw from it).
void AnswerRenew(std::unique_ptr<RuleEngine>& engine, FrameReader& reader, bool& loaded) {
    if (!reader.AtEnd()) _exit(kExitProtocol);
    engine.reset();
    std::srand(1);
    engine = NewEngine();
    loaded = false;
    FrameWriter ready(answer, sizeof answer, EngineMessage::Ready);
    Send(ready);
}

// Reads requests as they come, usually one read each: a whole request
// arrives at once, and the engine answers one before the next is sent.
[[noreturn]] void Serve(std::unique_ptr<RuleEngine>& engine) {
    constexpr size_t kFirstCapacity = 64 * 1024;
    std::vector<char> request(kFirstCapacity);
    size_t have = 0;
    bool loaded = false;
    for (;;) {
        uint32_t kind = 0;
        uint32_t length = 0;
        for (;;) {
            if (have >= kFrameHeaderSize) {
                ReadFrameHeader(request.data(), kind, length);
                if (length > kMaxRequestBytes) _exit(kExitProtocol);
                if (have >= kFrameHeaderSize + length) break;
                if (request.size() < kFrameHeaderSize + length) {
                    request.resize(kFrameHeaderSize + length);
                }
            }
            const ssize_t n = read(kEngineSocketFd, request.data() + have, request.size() - have);
            if (n < 0 && errno == EINTR) continue;
            // The parent closed its end (or died): nothing more to do.
            if (n <= 0) _exit(0);
            have += static_cast<size_t>(n);
        }
        // One request at a time: the parent sends nothing before the answer.
        if (have != kFrameHeaderSize + length) _exit(kExitProtocol);
        have = 0;
        FrameReader reader(request.data() + kFrameHeaderSize, length);
        switch (static_cast<EngineMessage>(kind)) {
            case EngineMessage::Load: AnswerLoad(*engine, reader, loaded); break;
            case EngineMessage::Pass: AnswerPass(*engine, reader); break;
            case EngineMessage::Renew: AnswerRenew(engine, reader, loaded); break;
            case EngineMessage::Quit: _exit(0);
            default: _exit(kExitProtocol);
        }
    }
}


}  // namespace

int RunEngineServer(int argc, char** argv) {
    // A renewed engine makes its environment's tables again (a few MB); kept
    // in the heap rather than handed back to the system, they come back
    // without page faults. The address-space limit bounds it all the same.
    mallopt(M_MMAP_THRESHOLD, kKeptHeapBytes / 2);
    mallopt(M_TRIM_THRESHOLD, kKeptHeapBytes);
    pid_t parent = 0;
    struct stat socketStat {};
    if (argc != 2 || !ParseParent(argv[1], parent) || fstat(kEngineSocketFd, &socketStat) != 0 ||
        !S_ISSOCK(socketStat.st_mode)) {
        std::fprintf(stderr, "%s: marrowick's rule engine; marrowick starts it itself\n", kProgram);
        return kExitStartedByHand;
    }
    // Dies with the parent; one that is gone already is not waited for.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    // Ctrl+C and a hang-up reach the whole process group; the parent decides
    // when the engine ends.
    for (int signalNumber : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGPIPE}) IgnoreSignal(signalNumber);
    CloseOtherDescriptors();

    try {
        std::unique_ptr<RuleEngine> engine = NewEngine();
        char reason[256];
        if (!ApplyEngineLimits(reason, sizeof reason) ||
            !EnterEngineSandbox(kEngineSocketFd, reason, sizeof reason)) {
            FailStart(reason);
        }
        FrameWriter ready(answer, sizeof answer, EngineMessage::Ready);
        Send(ready);
        Serve(engine);
    } catch (const std::bad_alloc&) {
        OutOfMemoryNow();
    } catch (...) {
        _exit(kExitProtocol);
    }
}
