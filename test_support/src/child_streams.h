// The descriptors that connect a child's captured streams, opened the way each platform allows
// (both ends of each close on exec), and what a child's environment needs on each platform.
// Common parts in child_streams.cpp, the rest in child_streams_linux.cpp / _macos.cpp.
#pragma once

#include <string>
#include <vector>

struct termios;

namespace test_support {

// A pipe: fds[0] reads, fds[1] writes. False when the system refuses one.
bool open_pipe(int fds[2]);

// A terminal in raw mode: the primary side for the parent, the replica for the child. False
// when the system refuses one.
bool open_terminal(int& primary, int& replica);

// openpty, whose header differs per platform: a terminal with settings, nothing closed on exec.
bool open_pseudo_terminal(int& primary, int& replica, termios& settings);

// Adds to a program's environment what the platform needs for its output to be the program's
// own.
void add_platform_environment(std::vector<std::string>& env);

}  // namespace test_support
