// A fresh temporary directory for one test, removed with everything in it when the test ends.
#pragma once

#include <string>

namespace test_support {

// Who may pass through a scratch directory: its owner alone (under $TMPDIR, or /tmp, mode
// 0700), or every user (always under /tmp, mode 0755), for tests whose children change uid.
enum class ScratchAccess { owner, everyone };

class ScratchDirectory {
  public:
    explicit ScratchDirectory(ScratchAccess access = ScratchAccess::owner);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Absolute path of the directory, without a trailing "/".
    const std::string& path() const { return path_; }
    // path() joined with a relative name.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
};

}  // namespace test_support
