// Owns one open descriptor (or none, -1) and closes it when it is replaced or destroyed. Not
// copyable; one thread at a time.
#pragma once

#include <unistd.h>

namespace ownership_mender {

class OwnedDescriptor {
  public:
    OwnedDescriptor() = default;
    explicit OwnedDescriptor(int fd) : fd_(fd) {}
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    ~OwnedDescriptor() { reset(); }

    int get() const { return fd_; }

    void reset(int fd = -1) {
        if (fd_ != -1) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

}  // namespace ownership_mender
