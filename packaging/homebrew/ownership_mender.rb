# Homebrew formula for ownership_mender, built from the source archive of a release.
# scripts/release writes a copy with the archive's url and sha256 filled in; this one, with
# their placeholders, is not meant to be installed as it stands.
class OwnershipMender < Formula
  desc "Hand a directory tree, link targets included, to one user and group 0"
  homepage "https://github.com/ownership-mender/ownership_mender"
  url "@SOURCE_URL@"
  sha256 "@SOURCE_SHA256@"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "ninja" => :build

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja",
                    "-DOWNERSHIP_MENDER_TESTS=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  test do
    (testpath/"tree/sub").mkpath
    (testpath/"tree/sub/file").write "contents"
    (testpath/"tree/link").make_symlink testpath/"tree/sub"
    # As the current user: owners stay as they are, silently, and the walk still ends with 0.
    assert_empty shell_output("#{bin}/ownership_mender #{testpath}/tree #{Process.uid} 2>&1")
    assert_equal "Usage: ownership_mender <PATH> <UID>",
                 shell_output("#{bin}/ownership_mender --help").lines.first.chomp
  end
end
