// FileReplace: the new file takes the owner and mode the old one has when
// it is replaced, and nothing is left behind either way.
#include "common/file_replace.h"

#include "utils/tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using utils_test::read_file;
using utils_test::TempDir;
using utils_test::write_file;

mode_t mode_of(const std::string &path)
{
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

void put(const FileReplace &file, const std::string &text)
{
    ASSERT_EQ(write(file.fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

TEST(FileReplace, ReplacedFileKeepsItsModeAndNoTemporaryStays)
{
    TempDir dir;
    const std::string path = dir.file("list.conf");
    write_file(path, "old\n");
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    {
        FileReplace file;
        ASSERT_EQ(file.begin(path.c_str()), 0);
        put(file, "new\n");
        ASSERT_EQ(file.commit(), 0);
    }
    EXPECT_EQ(read_file(path), "new\n");
    EXPECT_EQ(mode_of(path), 0604U);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"list.conf"});
}

TEST(FileReplace, AFileCreatedMeanwhileByAnotherWriterKeepsItsMode)
{
    TempDir dir;
    const std::string path = dir.file("list.conf");
    FileReplace file;
    ASSERT_EQ(file.begin(path.c_str()), 0);  // no file yet
    write_file(path, "theirs\n");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    put(file, "ours\n");
    ASSERT_EQ(file.commit(), 0);
    EXPECT_EQ(read_file(path), "ours\n");
    EXPECT_EQ(mode_of(path), 0600U);
}

TEST(FileReplace, WithoutCommitTheOldFileStaysAndTheTemporaryGoes)
{
    TempDir dir;
    const std::string path = dir.file("list.conf");
    write_file(path, "old\n");
    {
        FileReplace file;
        ASSERT_EQ(file.begin(path.c_str()), 0);
        put(file, "half");
        EXPECT_EQ(dir.list().size(), 2U);
    }
    EXPECT_EQ(read_file(path), "old\n");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"list.conf"});
}

}  // namespace
