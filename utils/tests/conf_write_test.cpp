// conf_set: byte-for-byte preservation of everything but the one value.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/tests/test_support.h"
#include "utils/utils.h"

namespace {

using utils_test::read_file;
using utils_test::TempDir;
using utils_test::write_file;

class ConfSet : public ::testing::Test {
 protected:
  // Writes `before`, sets key=value, and returns the file afterwards; checks
  // that the folder holds nothing but the file (no temporary left).
  std::string set(const std::string &before, const char *key, const char *value,
                  int expect_rc = 0) {
    write_file(path_, before);
    EXPECT_EQ(conf_set(path_.c_str(), key, value), expect_rc);
    EXPECT_EQ(dir_.list(), std::vector<std::string>{"test.conf"});
    return read_file(path_);
  }

  TempDir dir_;
  std::string path_ = dir_.file("test.conf");
};

TEST_F(ConfSet, ReplacesOnlyTheValue) {
  EXPECT_EQ(set("a=1\nssid=old name\nb=2\n", "ssid", "new"), "a=1\nssid=new\nb=2\n");
}

TEST_F(ConfSet, ReplacesTheWholeRestOfTheLine) {
  EXPECT_EQ(set("ssid=old # note\nx=1\n", "ssid", "New Net"), "ssid=New Net\nx=1\n");
  char buf[64];
  ASSERT_EQ(conf_get_space(path_.c_str(), "ssid", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "New Net");
}

TEST_F(ConfSet, KeepsTheReplacedLinesCrLf) {
  EXPECT_EQ(set("a=1\r\nk=old\r\nb=2\n", "k", "v"), "a=1\r\nk=v\r\nb=2\n");
}

TEST_F(ConfSet, LastLineWithoutNewlineStaysWithout) {
  EXPECT_EQ(set("a=1\nk=old", "k", "v"), "a=1\nk=v");
  EXPECT_EQ(set("a=1\nk=old\r", "k", "v"), "a=1\nk=v\r");
}

TEST_F(ConfSet, FirstOfDuplicateKeysOnly) {
  EXPECT_EQ(set("k=1\nk=2\n", "k", "3"), "k=3\nk=2\n");
}

TEST_F(ConfSet, CommentsAndBlankLinesUntouched) {
  const std::string before = "# comment k=x\n#k=commented\n\n  \n\tk\nk =spaced\nk=real\n";
  EXPECT_EQ(set(before, "k", "new"), "# comment k=x\n#k=commented\n\n  \n\tk\nk =spaced\nk=new\n");
}

TEST_F(ConfSet, AppendsMissingKey) {
  EXPECT_EQ(set("a=1\n", "BESTIP", "10.0.0.1"), "a=1\nBESTIP=10.0.0.1\n");
}

TEST_F(ConfSet, AppendEndsAnUnterminatedLastLineFirst) {
  EXPECT_EQ(set("a=1\nlast", "k", "v"), "a=1\nlast\nk=v\n");
  EXPECT_EQ(set("a=1\r\nlast", "k", "v"), "a=1\r\nlast\r\nk=v\r\n");
  EXPECT_EQ(set("a=1\r\nlast\r", "k", "v"), "a=1\r\nlast\r\nk=v\r\n");
}

TEST_F(ConfSet, AppendUsesTheFilesLineEnd) {
  EXPECT_EQ(set("a=1\r\nb=2\r\n", "k", "v"), "a=1\r\nb=2\r\nk=v\r\n");
}

TEST_F(ConfSet, EmptyFile) { EXPECT_EQ(set("", "k", "v"), "k=v\n"); }

TEST_F(ConfSet, EmptyValue) {
  EXPECT_EQ(set("BESTIP=1.2.3.4\nIPCnt=2\n", "BESTIP", ""), "BESTIP=\nIPCnt=2\n");
}

TEST_F(ConfSet, CreatesAMissingFile) {
  const mode_t old = umask(022);
  ASSERT_EQ(conf_set(path_.c_str(), "ssid", "VQIPC_AP"), 0);
  umask(old);
  EXPECT_EQ(read_file(path_), "ssid=VQIPC_AP\n");
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(dir_.list(), std::vector<std::string>{"test.conf"});
}

TEST_F(ConfSet, KeepsTheFileMode) {
  write_file(path_, "k=1\n");
  ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
  ASSERT_EQ(conf_set(path_.c_str(), "k", "2"), 0);
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ConfSet, RefusesBadKeysAndValuesWithoutTouchingTheFile) {
  const std::string before = "k=1\n#c=2\n";
  for (const char *key : {"", "#c", "a=b", "a\nb", "a\rb"}) {
    EXPECT_EQ(set(before, key, "v", -1), before) << key;
  }
  EXPECT_EQ(set(before, "k", "two\nlines", -1), before);
  EXPECT_EQ(set(before, "k", "cr\r", -1), before);
  EXPECT_EQ(conf_set(path_.c_str(), nullptr, "v"), -1);
  EXPECT_EQ(conf_set(path_.c_str(), "k", nullptr), -1);
  EXPECT_EQ(conf_set(nullptr, "k", "v"), -1);
  EXPECT_EQ(conf_set("", "k", "v"), -1);
  EXPECT_EQ(read_file(path_), before);
}

TEST_F(ConfSet, MissingFolderFailsAndCreatesNothing) {
  EXPECT_EQ(conf_set(dir_.file("nodir/test.conf").c_str(), "k", "v"), -1);
  EXPECT_TRUE(dir_.list().empty());
}

TEST_F(ConfSet, DirectoryAsPathFails) {
  ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
  EXPECT_EQ(conf_set(path_.c_str(), "k", "v"), -1);
  EXPECT_EQ(dir_.list(), std::vector<std::string>{"test.conf"});
}

TEST_F(ConfSet, RelativePath) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  EXPECT_EQ(conf_set("test.conf", "k", "v"), 0);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(read_file(path_), "k=v\n");
  EXPECT_EQ(dir_.list(), std::vector<std::string>{"test.conf"});
}

TEST_F(ConfSet, FollowsSymbolicLinks) {
  ASSERT_EQ(mkdir(dir_.file("real").c_str(), 0755), 0);
  write_file(dir_.file("real/target.conf"), "a=1\nk=old\n");
  ASSERT_EQ(symlink("real/target.conf", path_.c_str()), 0);
  ASSERT_EQ(conf_set(path_.c_str(), "k", "new"), 0);
  struct stat st;
  ASSERT_EQ(lstat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(dir_.file("real/target.conf")), "a=1\nk=new\n");
  EXPECT_EQ(dir_.list(), (std::vector<std::string>{"real", "test.conf"}));
}

TEST_F(ConfSet, LargeFileKeyAtTheEnd) {
  std::string before;
  for (int i = 0; i < 5000; ++i) before += "line" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
  std::string after = before;
  before += "k=old";
  after += "k=new";
  EXPECT_EQ(set(before, "k", "new"), after);
}

TEST_F(ConfSet, RepeatedSetsRoundTrip) {
  write_file(path_, "x=1\n");
  for (int i = 0; i < 50; ++i) {
    const std::string v = "value " + std::to_string(i);
    ASSERT_EQ(conf_set(path_.c_str(), "k", v.c_str()), 0);
    char buf[64];
    ASSERT_EQ(conf_get_space(path_.c_str(), "k", buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), v);
  }
  EXPECT_EQ(read_file(path_), "x=1\nk=value 49\n");
}

// The access-point daemon's own file, as hostapd's sample configuration has
// it: comments with '=' inside, commented-out settings, blank lines, a
// passphrase with spaces and '=', a last line without newline.
TEST_F(ConfSet, HostapdConfPreserved) {
  const std::string head =
      "##### hostapd configuration file ##############################################\n"
      "# Empty lines and lines starting with # are ignored\n"
      "\n"
      "# AP netdevice name (without 'ap' postfix, i.e., wlan0 uses wlan0ap for\n"
      "# management frames with the Host AP driver); wlan0 with many nl80211 drivers\n"
      "interface=wlan0\n"
      "#bridge=br0\n"
      "driver=rtl871xdrv\n"
      "\n"
      "# SSID to be used in IEEE 802.11 management frames\n"
      "#ssid=test\n";
  const std::string tail =
      "# Alternative formats for configuring SSID\n"
      "#ssid2=\"test\"\n"
      "utf8_ssid=1\n"
      "country_code=CN\n"
      "hw_mode=g\n"
      "channel=6\n"
      "beacon_int=100\n"
      "dtim_period=2\n"
      "max_num_sta=8\n"
      "macaddr_acl=0\n"
      "auth_algs=1\n"
      "ignore_broadcast_ssid=0\n"
      "wpa=2\n"
      "wpa_passphrase=secret pass = phrase\n"
      "wpa_key_mgmt=WPA-PSK\n"
      "wpa_pairwise=CCMP\n"
      "rsn_pairwise=CCMP\n"
      "ctrl_interface=/var/run/hostapd\n"
      "ctrl_interface_group=0";
  const std::string before = head + "ssid=VQIPC_AP\n" + tail;
  const std::string after = set(before, "ssid", "CAM_A1B2C3");
  EXPECT_EQ(after, head + "ssid=CAM_A1B2C3\n" + tail);
  char buf[128];
  ASSERT_EQ(conf_get(path_.c_str(), "ssid", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "CAM_A1B2C3");
  ASSERT_EQ(conf_get_space(path_.c_str(), "wpa_passphrase", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "secret pass = phrase");
  // A second rewrite with the default name, as velnor does on every start.
  EXPECT_EQ(set(after, "ssid", "VQIPC_AP"), before);
}

TEST_F(ConfSet, IPRateConfAsRateprobeUsesIt) {
  const std::string before = "IPCnt=2\nip0=server.example\nip1=10.1.2.3\nBESTIP=\n";
  EXPECT_EQ(set(before, "BESTIP", "10.1.2.3"), "IPCnt=2\nip0=server.example\nip1=10.1.2.3\nBESTIP=10.1.2.3\n");
  EXPECT_EQ(conf_get_int(path_.c_str(), "IPCnt"), 2);
}

}  // namespace
