#include "platform/IniProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace korvane::platform {
namespace {

using test::ReadFile;
using test::WriteFile;

class IniProfileTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir_.File("test.ini"); }
    test::TempDir dir_;
};

TEST_F(IniProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(IniReadInt(Path(), "A", "k", 42), 42);
    EXPECT_EQ(IniReadString(Path(), "A", "k", "dflt"), "dflt");
    WriteFile(Path(), "[A]\nk=1\n");
    EXPECT_EQ(IniReadInt(Path(), "B", "k", 42), 42);
    EXPECT_EQ(IniReadInt(Path(), "A", "other", -3), -3);
    // Trailing blanks of a default are dropped, as the platform call does.
    EXPECT_EQ(IniReadString(Path(), "A", "other", "x  "), "x");
}

TEST_F(IniProfileTest, NamesIgnoreCaseAndSurroundingBlanks) {
    WriteFile(Path(), "[ Camera 1 ]\n  Gain  =  12  \n");
    EXPECT_EQ(IniReadInt(Path(), "camera 1", "GAIN", 0), 12);
    EXPECT_EQ(IniReadString(Path(), "CAMERA 1", "gain", ""), "12");
}

TEST_F(IniProfileTest, IntegerReadsTakeTheLeadingNumber) {
    WriteFile(Path(),
              "[S]\na=  -17xyz\nb=abc\nc=\nd=+5\ne=0x10\nf=99999999999\ng=\"7\"\nh=-99999999999\n");
    EXPECT_EQ(IniReadInt(Path(), "S", "a", 1), -17);
    EXPECT_EQ(IniReadInt(Path(), "S", "b", 1), 0);
    EXPECT_EQ(IniReadInt(Path(), "S", "c", 1), 1);  // empty value: the default
    EXPECT_EQ(IniReadInt(Path(), "S", "d", 1), 5);
    EXPECT_EQ(IniReadInt(Path(), "S", "e", 1), 0);
    EXPECT_EQ(IniReadInt(Path(), "S", "f", 1), 2147483647);
    EXPECT_EQ(IniReadInt(Path(), "S", "g", 1), 7);
    EXPECT_EQ(IniReadInt(Path(), "S", "h", 1), -2147483647 - 1);
}

TEST_F(IniProfileTest, StringReadsAreTrimmedUnquotedAndBounded) {
    WriteFile(Path(), "[S]\nq=\"  spaced  \"\nr='x'\nu=\"half\nlong=" + std::string(400, 'z') +
                          "\nsemi=a ; b\nempty=\n");
    EXPECT_EQ(IniReadString(Path(), "S", "q", ""), "  spaced  ");
    EXPECT_EQ(IniReadString(Path(), "S", "r", ""), "x");
    EXPECT_EQ(IniReadString(Path(), "S", "u", ""), "\"half");
    EXPECT_EQ(IniReadString(Path(), "S", "long", ""), std::string(kIniMaxValueLength, 'z'));
    EXPECT_EQ(IniReadString(Path(), "S", "semi", ""), "a ; b");
    EXPECT_EQ(IniReadString(Path(), "S", "empty", "dflt"), "");
    EXPECT_EQ(IniReadString(Path(), "S", "none", std::string(300, 'd')), std::string(255, 'd'));
}

TEST_F(IniProfileTest, FirstOfDuplicateSectionsAndKeysWins) {
    WriteFile(Path(), "[S]\nk=1\nk=2\n[s]\nk=3\nonly=4\n");
    EXPECT_EQ(IniReadInt(Path(), "S", "k", 0), 1);
    EXPECT_EQ(IniReadInt(Path(), "S", "only", 0), 0);
    ASSERT_TRUE(IniWriteString(Path(), "S", "K", "9"));
    EXPECT_EQ(ReadFile(Path()), "[S]\nk=9\nk=2\n[s]\nk=3\nonly=4\n");
}

TEST_F(IniProfileTest, CommentsKeysOutsideSectionsAndOddLinesAreNotKeys) {
    WriteFile(Path(), "k=outside\n[S]\n;k=comment\n[broken\nnoequals\n k = inside\n");
    EXPECT_EQ(IniReadString(Path(), "S", "k", "d"), "inside");
    EXPECT_EQ(IniReadString(Path(), "S", ";k", "d"), "d");
}

TEST_F(IniProfileTest, WriteChangesOneKeyAndKeepsEverythingElse) {
    const std::string before = "; header comment\n\n[First]\nA=1\n; note\nB=2\n\n\n[Second]\nC=3\n";
    WriteFile(Path(), before);
    ASSERT_TRUE(IniWriteString(Path(), "first", "b", "20"));
    EXPECT_EQ(ReadFile(Path()),
              "; header comment\n\n[First]\nA=1\n; note\nB=20\n\n\n[Second]\nC=3\n");
    ASSERT_TRUE(IniWriteString(Path(), "First", "New", "x"));
    EXPECT_EQ(ReadFile(Path()),
              "; header comment\n\n[First]\nA=1\n; note\nB=20\nNew=x\n\n\n[Second]\nC=3\n");
    ASSERT_TRUE(IniWriteString(Path(), "Third", "D", "4"));
    EXPECT_EQ(ReadFile(Path()),
              "; header comment\n\n[First]\nA=1\n; note\nB=20\nNew=x\n\n\n[Second]\nC=3\n\n"
              "[Third]\nD=4\n");
}

TEST_F(IniProfileTest, CrlfBomAndMissingFinalLineEndAreKept) {
    WriteFile(Path(), "\xEF\xBB\xBF[S]\r\nA=1\r\nB=2");
    EXPECT_EQ(IniReadInt(Path(), "S", "A", 0), 1);
    EXPECT_EQ(IniReadInt(Path(), "S", "B", 0), 2);
    ASSERT_TRUE(IniWriteString(Path(), "S", "C", "3"));
    EXPECT_EQ(ReadFile(Path()), "\xEF\xBB\xBF[S]\r\nA=1\r\nB=2\r\nC=3\r\n");
    ASSERT_TRUE(IniWriteString(Path(), "T", "D", "4"));
    EXPECT_EQ(ReadFile(Path()), "\xEF\xBB\xBF[S]\r\nA=1\r\nB=2\r\nC=3\r\n\r\n[T]\r\nD=4\r\n");
}

TEST_F(IniProfileTest, LastLineEndingInABareCarriageReturnStaysOneLine) {
    WriteFile(Path(), "[S]\nA=1\r");
    EXPECT_EQ(IniReadString(Path(), "S", "A", ""), "1");
    ASSERT_TRUE(IniWriteString(Path(), "S", "B", "2"));
    EXPECT_EQ(IniReadString(Path(), "S", "A", ""), "1");
    EXPECT_EQ(IniReadString(Path(), "S", "B", ""), "2");
    // CRs inside the last line's value stay part of it when a key or a
    // section is added after it, in LF and in CRLF files.
    for (const std::string eol : {"\n", "\r\n"}) {
        WriteFile(Path(), "[S]" + eol + "[T]" + eol + "A=1 C\r\r\r");
        const std::string before = IniReadString(Path(), "T", "A", "");
        ASSERT_EQ(before, "1 C\r\r");
        ASSERT_TRUE(IniWriteString(Path(), "S", "B", "2"));
        EXPECT_EQ(IniReadString(Path(), "T", "A", ""), before);
        ASSERT_TRUE(IniWriteString(Path(), "U", "C", "3"));
        EXPECT_EQ(IniReadString(Path(), "T", "A", ""), before);
        EXPECT_EQ(IniReadString(Path(), "U", "C", ""), "3");
    }
}

TEST_F(IniProfileTest, NewFileAndBatchWrite) {
    ASSERT_TRUE(IniWriteStrings(Path(), "Camera 1", {{"A", "1"}, {"B", ""}, {"A", "2"}}));
    EXPECT_EQ(ReadFile(Path()), "[Camera 1]\nA=2\nB=\n");
    EXPECT_EQ(IniReadString(Path(), "Camera 1", "B", "dflt"), "");
}

// Files that exercise where a batch write puts its keys: repeated names,
// blank lines before the next section, a missing final line end, CRLF, a
// section written twice.
const char* const kOddFiles[] = {
    "",
    "[Camera 1]\nA=1\n",
    "; c\n[camera 1]\nb=old\n\n\n[Other]\nA=9\n",
    "[Camera 1]\r\nA=1\r\nA=dup\r\n\r\n[Camera 1]\r\nC=second\r\n",
    "\xEF\xBB\xBF[X]\nk=v\n[ CAMERA 1 ]\nnote without equals\nB = spaced ",
    "[Camera 1]\nA=1\r",
    "junk before sections\n[Other]\nk=1",
};

TEST_F(IniProfileTest, BatchWriteEqualsTheSameKeysWrittenOneByOne) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"A", "10"}, {"New", "n"}, {"b", "20"}, {"new", "again"}, {"C", ""}, {"Last", "z"}};
    const std::string oneByOne = dir_.File("single.ini");
    for (const char* text : kOddFiles) {
        SCOPED_TRACE(text);
        WriteFile(Path(), text);
        WriteFile(oneByOne, text);
        ASSERT_TRUE(IniWriteStrings(Path(), "Camera 1", entries));
        for (const auto& [key, value] : entries) {
            ASSERT_TRUE(IniWriteString(oneByOne, "Camera 1", key, value));
        }
        EXPECT_EQ(ReadFile(Path()), ReadFile(oneByOne));
    }
}

TEST_F(IniProfileTest, SectionReaderAnswersAsReadsOfEachKey) {
    const char* const keys[] = {"A", "a", "B", "b", "C", "k", "missing", "note without equals"};
    for (const char* text : kOddFiles) {
        SCOPED_TRACE(text);
        WriteFile(Path(), text);
        const IniSectionReader reader(Path(), " camera 1 ");
        for (const char* key : keys) {
            EXPECT_EQ(reader.ReadString(key, "dflt  "),
                      IniReadString(Path(), " camera 1 ", key, "dflt  "))
                << key;
            EXPECT_EQ(reader.ReadInt(key, -7), IniReadInt(Path(), " camera 1 ", key, -7)) << key;
        }
    }
    // The reader keeps the file as it was when it was made.
    WriteFile(Path(), "[S]\nA=1\n");
    const IniSectionReader before(Path(), "S");
    WriteFile(Path(), "[S]\nA=2\n");
    EXPECT_EQ(before.ReadInt("A", 0), 1);
    EXPECT_EQ(IniSectionReader(dir_.File("none.ini"), "S").ReadString("A", "d"), "d");
}

TEST_F(IniProfileTest, TextsThatWouldBreakTheFileAreRefused) {
    WriteFile(Path(), "[S]\nA=1\n");
    EXPECT_FALSE(IniWriteString(Path(), "S", "A", "1\n[T]"));
    EXPECT_FALSE(IniWriteString(Path(), "S", "A=", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "S", "", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "S", " A", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "S", ";A", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "S]", "A", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "", "A", "1"));
    EXPECT_FALSE(IniWriteString(Path(), "S\r", "A", "1"));
    EXPECT_FALSE(IniWriteStrings(Path(), "S", {{"B", "fine"}, {"C", std::string("a\0b", 3)}}));
    EXPECT_EQ(ReadFile(Path()), "[S]\nA=1\n");
}

TEST_F(IniProfileTest, FailedWritesLeaveNoTrace) {
    EXPECT_FALSE(IniWriteString(dir_.File("missing/test.ini"), "S", "A", "1"));
    std::filesystem::create_directory(Path());  // the INI path is a directory
    EXPECT_FALSE(IniWriteString(Path(), "S", "A", "1"));
    EXPECT_EQ(IniReadInt(Path(), "S", "A", 5), 5);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

// Runs the write as an unprivileged user when the tests run as root (for
// whom directory permissions do not apply); answers the write's result.
bool WriteWithoutPrivileges(const std::string& path) {
    if (geteuid() != 0) {
        return IniWriteString(path, "S", "A", "2");
    }
    const pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (setresgid(nobody, nobody, nobody) != 0 || setresuid(nobody, nobody, nobody) != 0) {
            _exit(3);
        }
        if (IniReadInt(path, "S", "A", 0) != 1) {
            _exit(3);  // the file must be readable, only the directory locked
        }
        _exit(IniWriteString(path, "S", "A", "2") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 3)
        << "could not run the write as another user";
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(IniProfileTest, ReadOnlyDirectoryMakesTheWriteFailAndKeepsTheFile) {
    WriteFile(Path(), "[S]\nA=1\n");
    // Readable by everyone, writable by nobody but its owner.
    ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
    ASSERT_EQ(chmod(Path().c_str(), 0644), 0);
    const bool written = WriteWithoutPrivileges(Path());
    chmod(dir_.path().c_str(), 0700);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(Path()), "[S]\nA=1\n");
    EXPECT_EQ(IniReadInt(Path(), "S", "A", 0), 1);
}

TEST_F(IniProfileTest, WriteThroughASymbolicLinkKeepsTheLink) {
    const std::string real = dir_.File("real.ini");
    WriteFile(real, "[S]\nA=1\n");
    std::filesystem::create_symlink(real, Path());
    ASSERT_TRUE(IniWriteString(Path(), "S", "A", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(ReadFile(real), "[S]\nA=2\n");
}

TEST_F(IniProfileTest, BinaryAndLongLinesDoNotConfuseTheReader) {
    std::string text = "[S]\n";
    text += std::string(300000, 'x') + "\n";
    text += std::string("\0\x01\xff=\xfe\n", 6);
    text += "[\xff\xfe]\nk=\xc3\xa9t\xc3\xa9\n";
    text += "[S2]\r\r\nk=v\n";
    WriteFile(Path(), text);
    EXPECT_EQ(IniReadString(Path(), "\xff\xfe", "k", ""), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(IniReadString(Path(), "S", std::string("\0\x01\xff", 3), "d"), "\xfe");
    ASSERT_TRUE(IniWriteString(Path(), "S", "new", "1"));
    EXPECT_EQ(IniReadInt(Path(), "S", "new", 0), 1);
    EXPECT_EQ(IniReadString(Path(), "\xff\xfe", "k", ""), "\xc3\xa9t\xc3\xa9");
    EXPECT_NE(ReadFile(Path()).find(std::string(300000, 'x')), std::string::npos);
}

TEST_F(IniProfileTest, ConcurrentWritersLoseNoKeyAndReadersSeeWholeFiles) {
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    WriteFile(Path(), "[Shared]\nsentinel=1\n");
    std::vector<std::thread> threads;
    std::atomic<int> torn{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int k = 0; k < kKeys; ++k) {
                IniWriteString(Path(), "Shared", "t" + std::to_string(t) + "k" + std::to_string(k),
                               std::to_string(t * 1000 + k));
            }
        });
    }
    threads.emplace_back([this, &torn] {
        for (int i = 0; i < 200; ++i) {
            if (IniReadInt(Path(), "Shared", "sentinel", 0) != 1) {
                ++torn;
            }
        }
    });
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(torn.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(
                IniReadInt(Path(), "Shared", "t" + std::to_string(t) + "k" + std::to_string(k), -1),
                t * 1000 + k);
        }
    }
}

}  // namespace
}  // namespace korvane::platform
