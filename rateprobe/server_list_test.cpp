#include "rateprobe/server_list.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A configuration file in a fresh folder, removed afterwards.
class ConfFile {
public:
    explicit ConfFile(const char *content)
    {
        std::snprintf(dir_, sizeof dir_, "%s", "/tmp/rateprobe_list_XXXXXX");
        if (mkdtemp(dir_) == nullptr) {
            ADD_FAILURE() << "mkdtemp";
            return;
        }
        std::snprintf(path_, sizeof path_, "%s/IPRate.conf", dir_);
        FILE *file = std::fopen(path_, "w");
        if (file == nullptr) {
            ADD_FAILURE() << "fopen " << path_;
            return;
        }
        std::fputs(content, file);
        std::fclose(file);
    }
    ~ConfFile()
    {
        unlink(path_);
        rmdir(dir_);
    }
    const char *path() const { return path_; }

private:
    char dir_[64] = {};
    char path_[96] = {};
};

// Resolves "bad..." to nothing and any other name to itself; remembers what
// it was asked.
struct Lookups {
    int calls = 0;
    char last[32] = {};
};
Lookups lookups;

bool fake_resolve(const char *name, char *dotted, size_t size)
{
    ++lookups.calls;
    std::snprintf(lookups.last, sizeof lookups.last, "%s", name);
    if (std::strncmp(name, "bad", 3) == 0) {
        std::snprintf(dotted, size, "%s", "garbage");  // must not stay in the entry
        return false;
    }
    std::snprintf(dotted, size, "%s", name);
    return true;
}

class ServerList : public ::testing::Test {
protected:
    void SetUp() override { lookups = Lookups(); }
    ServerTable table;
};

TEST_F(ServerList, CountKeepsTheLowSixteenBits)
{
    struct {
        const char *content;
        uint16_t count;
    } cases[] = {
        {"IPCnt=3\n", 3},         {"IPCnt=65536\n", 0}, {"IPCnt=65537\n", 1},
        {"IPCnt=-1\n", 65535},    {"IPCnt=0\n", 0},     {"ip0=1.2.3.4\n", 0},
        {"IPCnt=131075\n", 3},
    };
    for (const auto &c : cases) {
        ConfFile conf(c.content);
        EXPECT_EQ(read_server_count(conf.path()), c.count) << c.content;
    }
    EXPECT_EQ(read_server_count("/nonexistent/IPRate.conf"), 0);
}

TEST_F(ServerList, EntriesInKeyOrder)
{
    ConfFile conf("IPCnt=3\nip2=127.0.0.4\nip0=127.0.0.2\nBESTIP=\nip1=cam-server\n");
    ASSERT_EQ(read_server_list(conf.path(), 3, table, fake_resolve), 3);
    EXPECT_STREQ(table[0], "127.0.0.2");
    EXPECT_STREQ(table[1], "cam-server");
    EXPECT_STREQ(table[2], "127.0.0.4");
}

TEST_F(ServerList, OnlyCountKeysAreRead)
{
    ConfFile conf("ip0=127.0.0.2\nip1=127.0.0.3\nip2=127.0.0.4\n");
    ASSERT_EQ(read_server_list(conf.path(), 2, table, fake_resolve), 2);
    EXPECT_EQ(lookups.calls, 2);
    EXPECT_STREQ(table[2], "");
}

TEST_F(ServerList, TwentyEntriesAtMostAndNoKeyReadAfterThe20th)
{
    char content[2048] = "IPCnt=30\n";
    for (int i = 0; i < 30; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "ip%d=10.0.0.%d\n", i, i + 1);
        std::strncat(content, line, sizeof content - std::strlen(content) - 1);
    }
    ConfFile conf(content);
    ASSERT_EQ(read_server_list(conf.path(), 30, table, fake_resolve), 20);
    EXPECT_EQ(lookups.calls, 20);
    EXPECT_STREQ(lookups.last, "10.0.0.20");
    EXPECT_STREQ(table[19], "10.0.0.20");
}

TEST_F(ServerList, EmptyAndAbsentKeysTakeNoEntry)
{
    // ip1 is absent right after ip0, ip2 is empty: neither may repeat ip0's server.
    ConfFile conf("ip0=127.0.0.2\nip2=\nip3=127.0.0.5\n");
    ASSERT_EQ(read_server_list(conf.path(), 4, table, fake_resolve), 2);
    EXPECT_STREQ(table[0], "127.0.0.2");
    EXPECT_STREQ(table[1], "127.0.0.5");
    EXPECT_EQ(lookups.calls, 2);
}

TEST_F(ServerList, UnresolvedNameTakesAnEmptyEntry)
{
    ConfFile conf("ip0=bad.example\nip1=127.0.0.3\n");
    ASSERT_EQ(read_server_list(conf.path(), 2, table, fake_resolve), 2);
    EXPECT_STREQ(table[0], "");
    EXPECT_STREQ(table[1], "127.0.0.3");
}

TEST_F(ServerList, CountOfAllOnesReadsUntilTwentyEntries)
{
    // 65535 keys to examine; the entries come from far apart.
    ConfFile conf("ip5=10.0.0.1\nip70=10.0.0.2\nip65534=10.0.0.3\nip65535=10.0.0.4\n");
    ASSERT_EQ(read_server_list(conf.path(), 65535, table, fake_resolve), 3);
    EXPECT_STREQ(table[2], "10.0.0.3");
    EXPECT_EQ(lookups.calls, 3);
}

TEST_F(ServerList, ValueIsCutTo31Characters)
{
    ConfFile conf("ip0=abcdefghijklmnopqrstuvwxyz0123456789\n");
    ASSERT_EQ(read_server_list(conf.path(), 1, table, fake_resolve), 1);
    EXPECT_STREQ(table[0], "abcdefghijklmnopqrstuvwxyz01234");
}

TEST_F(ServerList, SameServerUnderTwoKeysIsTwoEntries)
{
    ConfFile conf("ip0=127.0.0.2\nip1=127.0.0.2\n");
    ASSERT_EQ(read_server_list(conf.path(), 2, table, fake_resolve), 2);
    EXPECT_STREQ(table[1], "127.0.0.2");
}

TEST(ResolveHost, DottedQuadResolvesToItself)
{
    char dotted[64] = {};
    ASSERT_TRUE(resolve_host("127.0.0.5", dotted, sizeof dotted));
    EXPECT_STREQ(dotted, "127.0.0.5");
    ASSERT_TRUE(resolve_host("10.20.30.40", dotted, sizeof dotted));
    EXPECT_STREQ(dotted, "10.20.30.40");
}

}  // namespace
