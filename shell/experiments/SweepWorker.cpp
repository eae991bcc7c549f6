#include "shell/experiments/SweepWorker.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "policy/EngineProcess.h"
#include "shell/CommandLine.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/experiments/SummaryRow.h"
#include "shell/experiments/SummaryRun.h"

namespace {

// A request far longer than any run's command line is no request of ours.
constexpr size_t kMaxRequestBytes = 1 << 20;

// The requests on a descriptor, one at a time.
class RequestReader {
public:
    explicit RequestReader(int fd) : fd(fd) {}

    // The words of the next request; false at the end of the input (or when
    // it breaks off, or holds no request of ours).
    bool Next(std::vector<std::string>& words) {
        words.clear();
        for (;;) {
            const size_t end = buffer.find(std::string(2, '\0'), start);
            if (end != std::string::npos) {
                for (size_t at = start; at < end + 1;) {
                    const size_t nul = buffer.find('\0', at);
                    words.push_back(buffer.substr(at, nul - at));
                    at = nul + 1;
                }
                start = end + 2;
                return true;
            }
            if (buffer.size() - start > kMaxRequestBytes) return false;
            buffer.erase(0, start);
            start = 0;
            char block[4096];
            ssize_t n = 0;
            do {
                n = read(fd, block, sizeof block);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) return false;
            buffer.append(block, static_cast<size_t>(n));
        }
    }

private:
    int fd;
    std::string buffer;
    size_t start = 0;
};

// One run: the command line read as the program reads its own.
int MakeRun(std::vector<std::string>& words, std::string& row) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    CommandLine line;
    std::string error;
    if (words.empty() ||
        !ParseCommandLine(static_cast<int>(words.size()), argv.data(), nullptr, line, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName,
                     words.empty() ? "an empty request" : error.c_str());
        return kExitUsage;
    }
    if (line.mode != Mode::SummaryRun) {
        std::fprintf(stderr, "%s: a sweep's worker makes summary runs only\n", kProgramName);
        return kExitUsage;
    }
    return MakeSummaryRun(line, &row);
}

}  // namespace

std::string WorkerRequest(const std::vector<std::string>& words) {
    std::string request;
    for (const std::string& word : words) {
        request += word;
        request += '\0';
    }
    request += '\0';
    return request;
}

std::string WorkerAnswer(int status, const std::string& row) {
    std::string answer = std::to_string(status);
    if (!row.empty()) {
        answer += ' ';
        answer.append(row, 0, row.back() == '\n' ? row.size() - 1 : row.size());
    }
    return answer + "\n";
}

bool ParseWorkerAnswer(const std::string& line, int& status, std::string& row) {
    const size_t space = line.find(' ');
    const std::string number = line.substr(0, space);
    if (number.empty() || number.size() > 3 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    status = std::atoi(number.c_str());
    row = space == std::string::npos ? std::string() : line.substr(space + 1) + "\n";
    return true;
}

int RunSweepWorker() {
    if (!BindToSweep()) return kExitFailure;
    // The sweep reads every answer; one it can no longer read ends the work.
    std::signal(SIGPIPE, SIG_IGN);
    EngineProcess::ReuseEngines(true);
    RequestReader requests(STDIN_FILENO);
    std::vector<std::string> words;
    int status = kExitOk;
    while (status == kExitOk && requests.Next(words)) {
        std::string row;
        const int runStatus = MakeRun(words, row);
        std::fflush(stderr);
        if (!AppendWhole(STDOUT_FILENO, WorkerAnswer(runStatus, row))) status = kExitFailure;
    }
    EngineProcess::ReuseEngines(false);
    return status;
}
