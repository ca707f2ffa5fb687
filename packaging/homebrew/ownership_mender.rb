#: The template of the release's formula: scripts/release fills in the source archive's url and
#: sha256 and leaves out these "#:" lines. As it stands, with placeholders, it cannot be installed.
# Homebrew formula for ownership_mender, built from the source archive of a release.
class OwnershipMender < Formula
  desc "Hand a directory tree, link targets included, to one user and group 0"
  homepage "https://github.com/ownership-mender/ownership_mender"
  url "@SOURCE_URL@"
  sha256 "@SOURCE_SHA256@"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "ninja" => :build

  # The code needs C++20's <source_location>: Apple clang 15 (build 1500, Xcode 15) or later.
  fails_with :clang do
    build 1499
    cause "C++20 <source_location> needs Xcode 15 or later (Apple clang 15)"
  end

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja",
                    "-DOWNERSHIP_MENDER_TESTS=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  test do
    assert_equal "Usage: ownership_mender <PATH> <UID>",
                 shell_output("#{bin}/ownership_mender --help").lines.first.chomp
    assert_path_exists man1/"ownership_mender.1"
    # Start-up passed and the command line was read: the reserved UID is refused, with status 2
    # and this reason, before anything is walked.
    (testpath/"tree").mkpath
    refusal = shell_output("NO_COLOR=1 #{bin}/ownership_mender #{testpath}/tree 4294967295 2>&1", 2)
    assert_equal "error: invalid value '4294967295' for '<UID>': 4294967295 is reserved: " \
                 "the system reads it as \"leave the owner unchanged\"\n\n" \
                 "For more information, try '--help'.\n", refusal
  end
end
