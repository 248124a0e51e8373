// A Go engine run as a child process and spoken to in the Go Text Protocol
// (one command line in, "= answer" or "? error" and a blank line out).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace lessons {

class GtpEngine {
public:
    // Starts `program` with the given arguments ("gnugo", {"--mode", "gtp"}).
    // On failure started() is false and error() tells why.
    GtpEngine(const std::string& program, const std::vector<std::string>& arguments);
    ~GtpEngine();
    GtpEngine(const GtpEngine&) = delete;
    GtpEngine& operator=(const GtpEngine&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& error() const { return error_; }

    struct Reply {
        bool ok = false;    // "=" reply; false for "?" and for a dead or silent engine
        std::string text;   // the answer without its "= " / "? " lead, trimmed
    };
    // Sends one command and waits at most `timeoutMs` for the reply. After a
    // timeout or a broken pipe the engine is stopped and every later command fails.
    Reply command(const std::string& line, int timeoutMs = 20000);

private:
    void stop();

    pid_t pid_ = -1;
    int toEngine_ = -1;
    int fromEngine_ = -1;
    std::string pending_;  // bytes read past the end of the last reply
    std::string error_;
};

// "D16"-style vertex of a point of the 19-line board (1..361, numbered down the
// columns), on an engine board of `size` lines whose upper left corner is the
// same; GTP skips the letter I and counts rows from the bottom.
std::string gtpVertex(int point, int size = 19);

}  // namespace lessons
