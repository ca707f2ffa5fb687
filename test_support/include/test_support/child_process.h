// Runs a program or a function in a child process and captures both output streams and the
// way it ended. Used by end-to-end tests to compare exact bytes; never hangs a test: a child
// that outlives its time limit is killed.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

struct ChildResult {
    std::string out;         // bytes written to standard output
    std::string err;         // bytes written to standard error
    int exit_status = -1;    // status of a normal exit, else -1
    int signal = 0;          // signal that ended the child, else 0
    bool timed_out = false;  // killed because it ran past its time limit
    int pid = 0;             // process id the child had
};

// How a child's standard stream is connected.
// broken_pipe: a pipe whose reading end is already closed, so writes fail with EPIPE.
// full_device: Linux's /dev/full, where every write fails with ENOSPC.
enum class StreamKind { pipe, terminal, closed, dev_null, broken_pipe, full_device };

struct ProgramRun {
    std::string program;            // path of the executable
    std::vector<std::string> argv;  // the full argument vector, argument 0 included
    std::vector<std::string> env;   // the whole environment, "NAME=value" each
    StreamKind stdout_kind = StreamKind::pipe;
    StreamKind stderr_kind = StreamKind::pipe;
    StreamKind stdin_kind = StreamKind::dev_null;
    std::chrono::milliseconds time_limit{60'000};
    // Runs in the child just before exec, for settings such as resource limits.
    std::function<void()> before_exec;
};

ChildResult run_program(const ProgramRun& run);

// Runs body in a forked child whose standard output and error are captured; the child exits
// with 0 when body returns.
ChildResult run_function(const std::function<void()>& body,
                         std::chrono::milliseconds time_limit = std::chrono::milliseconds{60'000});

// Writes text to standard error, for a child of run_function to tell the test what it saw. A
// child that cannot write it exits with status 3, which the test sees, rather than leaving
// bytes out.
void tell_parent(std::string_view text);

}  // namespace test_support
