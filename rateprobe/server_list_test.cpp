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
        EXPECT_NE(mkdtemp(dir_), nullptr);
        std::snprintf(path_, sizeof path_, "%s/IPRate.conf", dir_);
        FILE *file = std::fopen(path_, "w");
        EXPECT_NE(file, nullptr);
        if (file != nullptr) {
            std::fputs(content, file);
            std::fclose(file);
        }
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

// Names starting "bad" do not resolve; any other resolves to itself.
int lookups = 0;
bool fake_resolve(const char *name, char *dotted, size_t size)
{
    ++lookups;
    std::snprintf(dotted, size, "%s", name);  // even a failure may leave bytes behind
    return std::strncmp(name, "bad", 3) != 0;
}

TEST(ServerList, CountKeepsTheLowSixteenBits)
{
    const char *contents[] = {"IPCnt=65536\n", "IPCnt=65537\n", "IPCnt=-1\n", "IPCnt=131075\n",
                              "ip0=1.2.3.4\n"};
    const uint16_t counts[] = {0, 1, 65535, 3, 0};
    for (size_t i = 0; i < 5; ++i) {
        ConfFile conf(contents[i]);
        EXPECT_EQ(read_server_count(conf.path()), counts[i]) << contents[i];
    }
}

TEST(ServerList, NoKeyIsLookedUpAfterTheTwentiethEntry)
{
    char content[1024] = {};
    for (int i = 0; i < 30; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "ip%d=10.0.0.%d\n", i, i + 1);
        std::strncat(content, line, sizeof content - std::strlen(content) - 1);
    }
    ConfFile conf(content);
    ServerTable table;
    lookups = 0;
    ASSERT_EQ(read_server_list(conf.path(), 30, table, fake_resolve), 20);
    EXPECT_EQ(lookups, 20);
    EXPECT_STREQ(table[19], "10.0.0.20");
}

TEST(ServerList, AbsentEmptyAndUnresolvedKeys)
{
    // ip1 absent right after ip0, ip2 empty: neither repeats ip0's server.
    // ip3 does not resolve and takes an entry with the empty text.
    ConfFile conf("ip0=127.0.0.2\nip2=\nip3=bad.example\nip4=abcdefghijklmnopqrstuvwxyz0123456789\n");
    ServerTable table;
    lookups = 0;
    ASSERT_EQ(read_server_list(conf.path(), 5, table, fake_resolve), 3);
    EXPECT_EQ(lookups, 3);
    EXPECT_STREQ(table[0], "127.0.0.2");
    EXPECT_STREQ(table[1], "");
    EXPECT_STREQ(table[2], "abcdefghijklmnopqrstuvwxyz01234");  // value text holds 31
}

}  // namespace
