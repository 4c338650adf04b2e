#include "platform/atomic_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Runs body as a user bound by file permissions: the super-user may write any file,
// so then the body runs in a child process that has become "nobody". Its result, or
// -1 when it could not run.
int runUnprivileged(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    test::ChildProcess child([&] { return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 ? body() : 99; });
    const auto status = child.waitStatus(60s);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override { m_umask = ::umask(022); }
    void TearDown() override { ::umask(m_umask); }

    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) found.insert(entry.path().filename());
        return found;
    }

    test::ScratchDirectory m_dir;
    mode_t m_umask = 0;
};

TEST_F(AtomicFileTest, NewFilesFollowTheUmaskReplacedOnesKeepTheirModeAndLinksStay) {
    const fs::path file = m_dir / "settings.csv";
    ASSERT_TRUE(writeFileAtomically(file, "one\r\n"));
    EXPECT_EQ(test::readFile(file), "one\r\n");
    EXPECT_EQ(modeOf(file), 0644u);

    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_TRUE(writeFileAtomically(file, "two"));
    EXPECT_EQ(test::readFile(file), "two");
    EXPECT_EQ(modeOf(file), 0600u) << "a private file stays private";

    // Through links, relative and dangling ones included, the file pointed to is written.
    fs::create_symlink("settings.csv", m_dir / "link");
    fs::create_symlink("made.csv", m_dir / "dangling");
    ASSERT_TRUE(writeFileAtomically(m_dir / "link", "three"));
    ASSERT_TRUE(writeFileAtomically(m_dir / "dangling", "four"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "link"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "dangling"));
    EXPECT_EQ(test::readFile(file), "three");
    EXPECT_EQ(test::readFile(m_dir / "made.csv"), "four");
    EXPECT_EQ(names(), (std::set<std::string>{"settings.csv", "link", "dangling", "made.csv"}));
}

TEST_F(AtomicFileTest, AFailedWriteLeavesTheTargetAsItWasAndNoTemporaryFile) {
    const fs::path file = m_dir / "old.csv";
    ASSERT_TRUE(test::writeFile(file, "old"));
    fs::create_directory(m_dir / "folder");
    ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    fs::create_symlink("loop", m_dir / "loop");
    for (const char* name : {"old.csv/x", "missing/x", "folder", "pipe", "loop"}) {
        EXPECT_FALSE(writeFileAtomically(m_dir / name, "new")) << name;
    }
    EXPECT_TRUE(fs::is_directory(m_dir / "folder"));
    EXPECT_TRUE(fs::is_fifo(m_dir / "pipe"));

    // A disk that fills up half-way.
    bool written = true;
    ASSERT_TRUE(test::withFileSizeLimit(4, [&] { written = writeFileAtomically(file, "longer than four"); }));
    EXPECT_FALSE(written);

    // A read-only file is not replaced, although its directory may be written.
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(runUnprivileged([&] { return writeFileAtomically(file, "new") ? 1 : 0; }), 0);
    EXPECT_EQ(test::readFile(file), "old");
    EXPECT_EQ(modeOf(file), 0444u);
    EXPECT_EQ(names(), (std::set<std::string>{"old.csv", "folder", "pipe", "loop"}));
}

}  // namespace
}  // namespace tqm
