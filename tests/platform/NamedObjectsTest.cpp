// The per-user namespace: where objects live, which names and directories
// are refused, the error numbers, and the robust mutex.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileMapping.h"
#include "platform/MessagePipe.h"
#include "platform/NamedMutex.h"
#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "tests/support/ShareTestSupport.h"

namespace korvane::platform {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> reports;
void CollectReport(const char* text) {
    reports.emplace_back(text);
}

class NamedObjectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reports.clear();
        SetReportProc(&CollectReport);
    }
    void TearDown() override { SetReportProc(nullptr); }

    bool RootHasFiles() const {
        std::error_code ec;
        if (!fs::exists(runtime_.Root(), ec)) {
            return false;
        }
        for (const auto& entry : fs::recursive_directory_iterator(runtime_.Root(), ec)) {
            if (!entry.is_directory()) {
                return true;
            }
        }
        return false;
    }

    test::ShareRuntimeDir runtime_;
};

TEST_F(NamedObjectsTest, RuntimeDirectoryFollowsXdgRuntimeDirOnlyWhenAbsolute) {
    EXPECT_EQ(RuntimeDirectory(), runtime_.Xdg() + "/korvane");
    setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
    EXPECT_EQ(RuntimeDirectory(), "/tmp/korvane-" + std::to_string(geteuid()));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(RuntimeDirectory(), "/tmp/korvane-" + std::to_string(geteuid()));
    setenv("XDG_RUNTIME_DIR", runtime_.Xdg().c_str(), 1);
}

TEST_F(NamedObjectsTest, ObjectsLiveUnderTheirKindsFolderWithPrivateModes) {
    auto mapping = FileMapping::Create("Seg", 100);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(LastError(), kErrorSuccess);
    auto mutex = NamedMutex::Create("SegMutex");
    ASSERT_TRUE(mutex);
    MessagePipe pipe;
    ASSERT_TRUE(pipe.Create("Seg"));

    EXPECT_EQ(ObjectPath(ObjectKind::Mapping, "Seg"), runtime_.Root() + "/obj/map/Seg");
    struct stat st {};
    ASSERT_EQ(stat(runtime_.Root().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((runtime_.Root() + "/obj/map/Seg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(static_cast<long>(st.st_size), sysconf(_SC_PAGESIZE));  // at least a page
    ASSERT_EQ(stat((runtime_.Root() + "/obj/mutex/SegMutex").c_str(), &st), 0);
    EXPECT_EQ(static_cast<long>(st.st_size), sysconf(_SC_PAGESIZE));
    ASSERT_EQ(lstat((runtime_.Root() + "/pipe/Seg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    // The segment's bytes are the file's bytes.
    auto view = mapping->MapView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->RegionSize(), static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
    std::memcpy(view->Data(), "frame", 5);
    std::ifstream file(runtime_.Root() + "/obj/map/Seg", std::ios::binary);
    char head[5] = {};
    file.read(head, 5);
    EXPECT_EQ(std::string(head, 5), "frame");
}

TEST_F(NamedObjectsTest, ErrorNumbersForExistingMissingAndOtherKinds) {
    auto first = FileMapping::Create("A", 10);
    ASSERT_TRUE(first);
    auto second = FileMapping::Create("A", 10);
    ASSERT_TRUE(second);
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    EXPECT_FALSE(NamedMutex::Create("A"));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
    EXPECT_FALSE(NamedMutex::Open("A"));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
    EXPECT_FALSE(FileMapping::Open("Missing"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    EXPECT_FALSE(NamedMutex::Open("Missing"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    auto mutex = NamedMutex::Create("M");
    ASSERT_TRUE(mutex);
    EXPECT_EQ(LastError(), kErrorSuccess);
    EXPECT_TRUE(NamedMutex::Create("M"));
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    EXPECT_FALSE(FileMapping::Create("M", 10));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(NamedObjectsTest, AnOpenedMappingKeepsItsOwnSizeAndSharesItsBytes) {
    auto big = FileMapping::Create("Big", 3 * 4096 + 1);
    ASSERT_TRUE(big);
    auto again = FileMapping::Create("Big", 1);
    ASSERT_TRUE(again);
    auto opened = FileMapping::Open("Big");
    ASSERT_TRUE(opened);
    auto v1 = big->MapView();
    auto v2 = again->MapView();
    auto v3 = opened->MapView();
    ASSERT_TRUE(v1 && v2 && v3);
    EXPECT_EQ(v2->RegionSize(), 4u * 4096u);
    v1->Data()[4 * 4096 - 1] = 42;
    EXPECT_EQ(v3->Data()[4 * 4096 - 1], 42);
}

TEST_F(NamedObjectsTest, TheLastHolderRemovesTheNameAndADeadHolderLeavesIt) {
    {
        auto a = FileMapping::Create("Seg", 10);
        auto b = FileMapping::Open("Seg");
        ASSERT_TRUE(a && b);
        a.reset();
        EXPECT_TRUE(fs::exists(runtime_.Root() + "/obj/map/Seg"));
    }
    EXPECT_FALSE(fs::exists(runtime_.Root() + "/obj/map/Seg"));

    const pid_t child = fork();
    if (child == 0) {
        auto m = FileMapping::Create("Left", 10);
        _exit(m ? 0 : 1);  // dies holding it
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::exists(runtime_.Root() + "/obj/map/Left"));
    EXPECT_TRUE(FileMapping::Create("Left", 10));
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
}

TEST_F(NamedObjectsTest, BadNamesAreRefusedWithAReportBeforeAnyFileIsTouched) {
    const std::vector<std::string> bad = {
        "", "a/b", "/abs", ".", "..", std::string("a\0b", 3), std::string(201, 'n')};
    for (const auto& name : bad) {
        reports.clear();
        EXPECT_FALSE(FileMapping::Create(name, 10)) << name;
        EXPECT_TRUE(LastError() == kErrorInvalidName || LastError() == kErrorFilenameTooLong);
        EXPECT_FALSE(NamedMutex::Create(name));
        MessagePipe pipe;
        EXPECT_FALSE(pipe.Create(name));
        ASSERT_EQ(reports.size(), 3u) << name;
        EXPECT_NE(reports[0].find("NamedObjects: ERROR: object name"), std::string::npos);
        EXPECT_NE(reports[0].find("refused"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(runtime_.Root()));
    // 200 bytes is fine for a mapping; the socket path of a pipe must fit
    // a Unix socket address.
    EXPECT_TRUE(FileMapping::Create(std::string(200, 'n'), 10));
    MessagePipe pipe;
    EXPECT_FALSE(pipe.Create(std::string(200, 'p')));
    EXPECT_EQ(LastError(), kErrorFilenameTooLong);
    EXPECT_NE(reports.back().find("longer than 107 bytes"), std::string::npos);
}

TEST_F(NamedObjectsTest, AnUnsafeRuntimeDirectoryIsRefusedAndNothingIsCreated) {
    // Open to others.
    ASSERT_EQ(mkdir(runtime_.Root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(runtime_.Root().c_str(), 0755), 0);
    EXPECT_FALSE(FileMapping::Create("Seg", 10));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(reports.back().find("open to group or others"), std::string::npos);
    EXPECT_FALSE(fs::exists(runtime_.Root() + "/obj"));
    ASSERT_EQ(rmdir(runtime_.Root().c_str()), 0);

    // A symbolic link to a private directory.
    const std::string target = runtime_.Xdg() + "/elsewhere";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(symlink(target.c_str(), runtime_.Root().c_str()), 0);
    MessagePipe pipe;
    EXPECT_FALSE(pipe.Create("P"));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    EXPECT_NE(reports.back().find("symbolic link"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(target));
    ASSERT_EQ(unlink(runtime_.Root().c_str()), 0);

    // A file where the directory should be.
    std::ofstream(runtime_.Root()) << "x";
    EXPECT_FALSE(NamedMutex::Create("M"));
    EXPECT_NE(reports.back().find("not a directory"), std::string::npos);
}

TEST_F(NamedObjectsTest, TheMutexOfAHolderThatDiedIsTakenOverAsAbandoned) {
    auto mutex = NamedMutex::Create("Guard");
    ASSERT_TRUE(mutex);
    const pid_t child = fork();
    if (child == 0) {
        auto mine = NamedMutex::Open("Guard");
        if (!mine || mine->Lock() != NamedMutex::LockResult::Acquired) {
            _exit(1);
        }
        _exit(0);  // dies holding the lock
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(mutex->Lock(), NamedMutex::LockResult::Abandoned);
    EXPECT_TRUE(mutex->Unlock());
    // Usable as ever afterwards.
    EXPECT_EQ(mutex->Lock(), NamedMutex::LockResult::Acquired);
    EXPECT_EQ(mutex->Lock(), NamedMutex::LockResult::Acquired);  // counts, like Windows
    EXPECT_TRUE(mutex->Unlock());
    EXPECT_TRUE(mutex->Unlock());
    EXPECT_FALSE(mutex->Unlock());
    EXPECT_EQ(LastError(), kErrorNotOwner);
}

TEST_F(NamedObjectsTest, TwoCreatorsRacingGetOneInitialisedMutex) {
    // Many processes create the same mutex at once; all must end up with a
    // working lock on one object.
    std::vector<pid_t> children;
    for (int i = 0; i < 6; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            auto m = NamedMutex::Create("Race");
            if (!m) {
                _exit(1);
            }
            for (int k = 0; k < 200; ++k) {
                if (m->Lock() != NamedMutex::LockResult::Acquired || !m->Unlock()) {
                    _exit(2);
                }
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

}  // namespace
}  // namespace korvane::platform
