// Log streams on descriptors: buffering until flush, unbuffered writes, system errors, and
// retrying writes that a signal interrupts.
#include "log_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "test_support/child_process.h"

namespace {

using events::FdStream;

// A pipe whose ends are closed when the test is done.
struct Pipe {
    int read_end = -1;
    int write_end = -1;
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read_end = fds[0];
        write_end = fds[1];
    }
    ~Pipe() {
        close_read();
        if (write_end >= 0) {
            ::close(write_end);
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void close_read() {
        if (read_end >= 0) {
            ::close(read_end);
            read_end = -1;
        }
    }
    // Whatever is in the pipe now, without waiting.
    std::string available() const {
        const int flags = ::fcntl(read_end, F_GETFL);
        ::fcntl(read_end, F_SETFL, flags | O_NONBLOCK);
        std::string out;
        char buffer[65536];
        for (ssize_t n; (n = ::read(read_end, buffer, sizeof buffer)) > 0;) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
        ::fcntl(read_end, F_SETFL, flags);
        return out;
    }
};

TEST(FdStream, BufferedBytesWaitForTheFlush) {
    Pipe pipe;
    FdStream stream(pipe.write_end, FdStream::Buffering::until_flush);
    ASSERT_TRUE(stream.write("12:00:00.000 ").ok());
    ASSERT_TRUE(stream.write("ERRO\n").ok());
    EXPECT_EQ(pipe.available(), "");
    ASSERT_TRUE(stream.flush().ok());
    EXPECT_EQ(pipe.available(), "12:00:00.000 ERRO\n");
    ASSERT_TRUE(stream.flush().ok());
    EXPECT_EQ(pipe.available(), "");
}

TEST(FdStream, LargeWritesKeepTheirOrder) {
    Pipe pipe;
    FdStream stream(pipe.write_end, FdStream::Buffering::until_flush);
    const std::string large(FdStream::kBufferCapacity + 10, 'x');
    ASSERT_TRUE(stream.write("head ").ok());
    std::string_view rest = large;
    while (!rest.empty()) {
        const auto written = stream.write(rest);
        ASSERT_TRUE(written.ok());
        rest.remove_prefix(written.value());
    }
    ASSERT_TRUE(stream.write(" tail").ok());
    ASSERT_TRUE(stream.flush().ok());
    EXPECT_EQ(pipe.available(), "head " + large + " tail");
}

TEST(FdStream, UnbufferedBytesGoOutAtOnce) {
    Pipe pipe;
    FdStream stream(pipe.write_end, FdStream::Buffering::none);
    const auto written = stream.write("line\n");
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.value(), 5u);
    EXPECT_EQ(pipe.available(), "line\n");
    EXPECT_TRUE(stream.flush().ok());
}

TEST(FdStream, SystemErrors) {
    // A pipe without reader; SIGPIPE is ignored in the child, as the program does.
    const auto result = test_support::run_function([] {
        static_cast<void>(::signal(SIGPIPE, SIG_IGN));
        Pipe pipe;
        pipe.close_read();
        FdStream buffered(pipe.write_end, FdStream::Buffering::until_flush);
        FdStream direct(pipe.write_end, FdStream::Buffering::none);
        const bool buffered_write_ok = buffered.write("x").ok();
        const base::Result<void, events::IoError> flushed = buffered.flush();
        const auto written = direct.write("x");
        if (!buffered_write_ok || flushed.ok() || written.ok()) {
            ::_exit(1);
        }
        const std::string report =
            flushed.error().debug_form() + "\n" + written.error().debug_form() + "\n";
        if (::write(1, report.data(), report.size()) < 0) {
            ::_exit(2);
        }
    });
    const std::string broken = "Os { code: 32, kind: BrokenPipe, message: \"Broken pipe\" }\n";
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, broken + broken);

    const int full = ::open("/dev/full", O_WRONLY);
    if (full >= 0) {
        FdStream stream(full, FdStream::Buffering::until_flush);
        ASSERT_TRUE(stream.write("x").ok());
        const base::Result<void, events::IoError> flushed = stream.flush();
        ASSERT_FALSE(flushed.ok());
        EXPECT_EQ(flushed.error().debug_form(),
                  "Os { code: 28, kind: StorageFull, message: \"No space left on device\" }");
        ::close(full);
    }

    FdStream closed(-1, FdStream::Buffering::none);
    const auto written = closed.write("x");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().debug_form(),
              "Os { code: 9, kind: Uncategorized, message: \"Bad file descriptor\" }");
}

void on_alarm(int) {}

TEST(FdStream, InterruptedWritesAreRetried) {
    // The write blocks on a full pipe; a signal without SA_RESTART interrupts it, and only
    // later does a reader make room. Without a retry the write would fail as Interrupted.
    const auto result = test_support::run_function([] {
        Pipe pipe;
        ::fcntl(pipe.write_end, F_SETFL, O_NONBLOCK);
        const std::string chunk(4096, 'f');
        while (::write(pipe.write_end, chunk.data(), chunk.size()) > 0) {
        }
        ::fcntl(pipe.write_end, F_SETFL, 0);

        struct sigaction action {};
        action.sa_handler = on_alarm;
        ::sigaction(SIGALRM, &action, nullptr);
        bool drained = false;
        std::thread drain([&] {
            // The alarm must reach the writing thread, so this thread blocks it.
            sigset_t blocked;
            sigemptyset(&blocked);
            sigaddset(&blocked, SIGALRM);
            ::pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::string buffer(1 << 20, '\0');
            drained = ::read(pipe.read_end, buffer.data(), buffer.size()) > 0;
        });
        itimerval timer{};
        timer.it_value.tv_usec = 50'000;
        timer.it_interval.tv_usec = 50'000;
        ::setitimer(ITIMER_REAL, &timer, nullptr);

        FdStream stream(pipe.write_end, FdStream::Buffering::none);
        const auto written = stream.write("after the signal");
        timer = {};
        ::setitimer(ITIMER_REAL, &timer, nullptr);
        drain.join();
        ::_exit(written.ok() && written.value() == 16 && drained ? 0 : 1);
    });
    EXPECT_EQ(result.exit_status, 0) << result.err;
}

}  // namespace
