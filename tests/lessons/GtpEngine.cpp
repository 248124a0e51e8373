#include "GtpEngine.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace lessons {

namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

GtpEngine::GtpEngine(const std::string& program, const std::vector<std::string>& arguments) {
    int in[2], out[2];
    if (pipe(in) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    if (pipe(out) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return;
    }
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        return;
    }
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    pid_ = pid;
    toEngine_ = in[1];
    fromEngine_ = out[0];
    // A write to an engine that has died must fail, not end the test run.
    signal(SIGPIPE, SIG_IGN);
    // An executable that cannot run exits at once; the first command finds that.
    Reply probe = command("protocol_version", 10000);
    if (!probe.ok) {
        error_ = "no GTP answer from " + program;
        stop();
    }
}

GtpEngine::~GtpEngine() {
    if (pid_ > 0) {
        command("quit", 2000);
        stop();
    }
}

void GtpEngine::stop() {
    if (toEngine_ >= 0) close(toEngine_);
    if (fromEngine_ >= 0) close(fromEngine_);
    toEngine_ = fromEngine_ = -1;
    if (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    pid_ = -1;
}

GtpEngine::Reply GtpEngine::command(const std::string& line, int timeoutMs) {
    Reply reply;
    if (pid_ <= 0) return reply;
    std::string out = line + "\n";
    for (size_t done = 0; done < out.size();) {
        ssize_t n = write(toEngine_, out.data() + done, out.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            error_ = "the engine stopped reading at: " + line;
            stop();
            return reply;
        }
        done += static_cast<size_t>(n);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // A reply ends with an empty line.
    size_t end;
    while ((end = pending_.find("\n\n")) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = "no reply within " + std::to_string(timeoutMs) + " ms to: " + line;
            stop();
            return reply;
        }
        pollfd p{fromEngine_, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;  // the deadline check above ends the wait
        char buffer[4096];
        ssize_t n = read(fromEngine_, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "the engine ended while answering: " + line;
            stop();
            return reply;
        }
        for (ssize_t i = 0; i < n; ++i)
            if (buffer[i] != '\r') pending_.push_back(buffer[i]);
    }
    std::string text = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    // Stray empty lines before a reply are allowed.
    size_t start = text.find_first_of("=?");
    if (start == std::string::npos) {
        error_ = "not a GTP reply to " + line + ": " + text;
        return reply;
    }
    reply.ok = text[start] == '=';
    reply.text = trim(text.substr(start + 1));
    return reply;
}

std::string gtpVertex(int point, int size) {
    static const char letters[] = "ABCDEFGHJKLMNOPQRST";
    int column = (point - 1) / 19;
    int row = (point - 1) % 19;
    return std::string(1, letters[column]) + std::to_string(size - row);
}

}  // namespace lessons
