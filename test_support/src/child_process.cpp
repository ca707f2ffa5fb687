// Child processes for tests: fork, connect the standard streams as asked, exec or run a
// function, and collect output until the child ends or its time limit passes.
#include "test_support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "base/write_all.h"
#include "child_streams.h"

namespace test_support {
namespace {

// The parent's end of one captured stream and the child's end before it is moved into place.
struct Capture {
    int parent = -1;
    int child = -1;
};

Capture make_capture(StreamKind kind) {
    Capture capture;
    if (kind == StreamKind::pipe || kind == StreamKind::broken_pipe) {
        int fds[2];
        if (!open_pipe(fds)) {
            throw std::runtime_error("pipe failed");
        }
        capture = {fds[0], fds[1]};
        if (kind == StreamKind::broken_pipe) {
            ::close(fds[0]);
            capture.parent = -1;
        }
    } else if (kind == StreamKind::terminal) {
        int primary = -1;
        int replica = -1;
        if (!open_terminal(primary, replica)) {
            throw std::runtime_error("openpty failed");
        }
        capture = {primary, replica};
    }
    return capture;
}

// In the child: puts the stream in place as descriptor target.
void connect_in_child(StreamKind kind, const Capture& capture, int target) {
    switch (kind) {
        case StreamKind::closed:
            ::close(target);
            break;
        case StreamKind::dev_null:
        case StreamKind::full_device: {
            const int fd =
                ::open(kind == StreamKind::dev_null ? "/dev/null" : "/dev/full", O_RDWR);
            if (fd != target) {
                ::dup2(fd, target);
                ::close(fd);
            }
            break;
        }
        case StreamKind::pipe:
        case StreamKind::broken_pipe:
        case StreamKind::terminal:
            ::dup2(capture.child, target);
            break;
    }
}

ChildResult collect(pid_t pid, Capture out, Capture err, std::chrono::milliseconds time_limit) {
    ChildResult result;
    result.pid = pid;
    if (out.child >= 0) {
        ::close(out.child);
    }
    if (err.child >= 0) {
        ::close(err.child);
    }
    const auto deadline = std::chrono::steady_clock::now() + time_limit;
    int open_streams = (out.parent >= 0 ? 1 : 0) + (err.parent >= 0 ? 1 : 0);
    bool exited = false;
    int status = 0;
    while (open_streams > 0 || !exited) {
        if (!exited) {
            const pid_t waited = ::waitpid(pid, &status, WNOHANG);
            exited = waited == pid;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline && !result.timed_out) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
        }
        pollfd fds[2] = {{out.parent, POLLIN, 0}, {err.parent, POLLIN, 0}};
        const int ready = ::poll(fds, 2, 20);
        if (ready <= 0) {
            // A terminal's primary side stays readable-less after the child is gone.
            if (exited && ready == 0) {
                break;
            }
            continue;
        }
        std::string* sinks[2] = {&result.out, &result.err};
        int* owners[2] = {&out.parent, &err.parent};
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(*owners[i]);
                *owners[i] = -1;
                --open_streams;
            }
        }
    }
    for (int fd : {out.parent, err.parent}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (!exited) {
        ::waitpid(pid, &status, 0);
    }
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (auto& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildResult run_program(const ProgramRun& run) {
    std::vector<std::string> argv = run.argv;
    std::vector<std::string> env = run.env;
    add_platform_environment(env);
    std::vector<char*> argv_pointers = pointers_to(argv);
    std::vector<char*> env_pointers = pointers_to(env);
    if (run.argv.empty()) {
        argv_pointers.assign(1, nullptr);
    }
    const Capture out = make_capture(run.stdout_kind);
    const Capture err = make_capture(run.stderr_kind);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::setsid();
        connect_in_child(run.stdin_kind, Capture{}, STDIN_FILENO);
        connect_in_child(run.stdout_kind, out, STDOUT_FILENO);
        connect_in_child(run.stderr_kind, err, STDERR_FILENO);
        static_cast<void>(::signal(SIGPIPE, SIG_DFL));
        if (run.before_exec) {
            run.before_exec();
        }
        ::execve(run.program.c_str(), argv_pointers.data(), env_pointers.data());
        ::_exit(127);
    }
    return collect(pid, out, err, run.time_limit);
}

ChildResult run_function(const std::function<void()>& body, std::chrono::milliseconds time_limit) {
    const Capture out = make_capture(StreamKind::pipe);
    const Capture err = make_capture(StreamKind::pipe);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        connect_in_child(StreamKind::pipe, out, STDOUT_FILENO);
        connect_in_child(StreamKind::pipe, err, STDERR_FILENO);
        body();
        ::_exit(0);
    }
    return collect(pid, out, err, time_limit);
}

void tell_parent(std::string_view text) {
    if (!base::write_all(STDERR_FILENO, text).ok()) {
        ::_exit(3);
    }
}

}  // namespace test_support
