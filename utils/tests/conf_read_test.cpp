// conf_get, conf_get_space, conf_get_int on the rules documented in utils.h.
#include <cerrno>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "utils/tests/test_support.h"
#include "utils/utils.h"

namespace {

using utils_test::TempDir;
using utils_test::write_file;

class ConfRead : public ::testing::Test {
 protected:
  // Writes `content` to the test file and returns its path.
  std::string file(const std::string &content) {
    const std::string p = dir_.file("test.conf");
    write_file(p, content);
    return p;
  }
  // conf_get (or conf_get_space) into a buffer prefilled with 'X'; returns
  // the buffer's text, or "<untouched>" when no byte of it changed.
  std::string get(const std::string &path, const char *key, int size = 64, bool space = false,
                  int *rc = nullptr) {
    char buf[256];
    memset(buf, 'X', sizeof buf);
    const int r = space ? conf_get_space(path.c_str(), key, buf, size)
                        : conf_get(path.c_str(), key, buf, size);
    if (rc != nullptr) *rc = r;
    bool untouched = true;
    for (char c : buf) untouched = untouched && c == 'X';
    if (untouched) return "<untouched>";
    EXPECT_EQ(memchr(buf, '\0', size > 0 ? static_cast<size_t>(size) : 0) != nullptr, true)
        << "no NUL inside the buffer size";
    for (size_t i = static_cast<size_t>(size); i < sizeof buf; ++i) {
      EXPECT_EQ(buf[i], 'X') << "byte " << i << " past the size was written";
    }
    return std::string(buf);
  }
  std::string get_space(const std::string &path, const char *key, int size = 64) {
    return get(path, key, size, true);
  }

  TempDir dir_;
};

TEST_F(ConfRead, PlainValue) {
  const auto p = file("USER=cam123\nssid=VQIPC_AP\n");
  int rc = 1;
  EXPECT_EQ(get(p, "USER", 64, false, &rc), "cam123");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(get(p, "ssid"), "VQIPC_AP");
  EXPECT_EQ(get_space(p, "ssid"), "VQIPC_AP");
}

TEST_F(ConfRead, ConfGetStopsAtFirstBlankGetSpaceTakesItWhole) {
  const auto p = file("wifisid=My Home  Net\ntabbed=a\tb\n");
  EXPECT_EQ(get(p, "wifisid"), "My");
  EXPECT_EQ(get_space(p, "wifisid"), "My Home  Net");
  EXPECT_EQ(get(p, "tabbed"), "a");
  EXPECT_EQ(get_space(p, "tabbed"), "a\tb");
}

TEST_F(ConfRead, LeadingBlankGivesEmptyForConfGet) {
  const auto p = file("k= value\n");
  EXPECT_EQ(get(p, "k"), "");
  EXPECT_EQ(get_space(p, "k"), " value");
}

TEST_F(ConfRead, TrailingBlanksKeptByGetSpace) {
  const auto p = file("k=a b  \n");
  EXPECT_EQ(get_space(p, "k"), "a b  ");
}

TEST_F(ConfRead, CrLfLineEndIsNotPartOfValue) {
  const auto p = file("a=one\r\nb=two words\r\nc=last\r");
  EXPECT_EQ(get(p, "a"), "one");
  EXPECT_EQ(get_space(p, "b"), "two words");
  EXPECT_EQ(get(p, "c"), "last");  // a CR at the end of the file as well
  EXPECT_EQ(get_space(p, "c"), "last");
}

TEST_F(ConfRead, CrInsideALineIsText) {
  const auto p = file("a=x\ry\n");
  EXPECT_EQ(get_space(p, "a"), "x\ry");
}

TEST_F(ConfRead, LastLineWithoutNewline) {
  const auto p = file("a=1\nb=two");
  EXPECT_EQ(get(p, "b"), "two");
}

TEST_F(ConfRead, EmptyValueGivesEmptyText) {
  const auto p = file("BESTIP=\nx=1\n");
  int rc = 1;
  EXPECT_EQ(get(p, "BESTIP", 64, false, &rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(get(p.c_str(), "BESTIP", 64, true), "");
}

TEST_F(ConfRead, ValueMayContainEquals) {
  const auto p = file("wpa_passphrase=a=b=c\n");
  EXPECT_EQ(get(p, "wpa_passphrase"), "a=b=c");
}

TEST_F(ConfRead, FirstLineWithTheKeyWins) {
  const auto p = file("ssid=first\nssid=second\n");
  EXPECT_EQ(get(p, "ssid"), "first");
}

TEST_F(ConfRead, CommentsBlankLinesAndLinesWithoutEqualsNeverMatch) {
  const auto p = file("#ssid=commented\n\n   \nssid\nssid only text\nssid=real\n");
  EXPECT_EQ(get(p, "ssid"), "real");
}

TEST_F(ConfRead, KeyIsExactTextBeforeFirstEquals) {
  const auto p = file("ssid =spaced\n ssid=indented\nssidx=longer\nssi=shorter\nSSID=upper\n");
  EXPECT_EQ(get(p, "ssid"), "<untouched>");
  EXPECT_EQ(get(p, "ssid "), "spaced");
  EXPECT_EQ(get(p, " ssid"), "indented");
  EXPECT_EQ(get(p, "ssidx"), "longer");
  EXPECT_EQ(get(p, "ssi"), "shorter");
  EXPECT_EQ(get(p, "SSID"), "upper");
}

TEST_F(ConfRead, ValueIsCutToTheBufferWithNulInside) {
  const auto p = file("k=abcdefgh\n");
  EXPECT_EQ(get(p, "k", 4), "abc");
  EXPECT_EQ(get_space(p, "k", 9), "abcdefgh");
  EXPECT_EQ(get_space(p, "k", 8), "abcdefg");
  EXPECT_EQ(get(p, "k", 1), "");
}

TEST_F(ConfRead, MissingFileOrKeyLeavesBufferUntouched) {
  const auto p = file("a=1\n");
  int rc = 0;
  EXPECT_EQ(get(p, "b", 64, false, &rc), "<untouched>");
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(get_space(p, "b"), "<untouched>");
  EXPECT_EQ(get(dir_.file("missing.conf"), "a", 64, false, &rc), "<untouched>");
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(get_space(dir_.file("missing.conf"), "a"), "<untouched>");
  EXPECT_EQ(get(file(""), "a"), "<untouched>");
}

TEST_F(ConfRead, InvalidArgumentsLeaveBufferUntouched) {
  const auto p = file("a=1\n#c=2\n");
  EXPECT_EQ(get(p, ""), "<untouched>");
  EXPECT_EQ(get(p, "#c"), "<untouched>");
  EXPECT_EQ(get(p, "a=1"), "<untouched>");
  EXPECT_EQ(get(p, nullptr), "<untouched>");
  EXPECT_EQ(get(p, "a", 0), "<untouched>");
  EXPECT_EQ(get(p, "a", -5), "<untouched>");
  EXPECT_EQ(conf_get(nullptr, "a", nullptr, 4), -1);
  EXPECT_EQ(conf_get(p.c_str(), "a", nullptr, 4), -1);
}

TEST_F(ConfRead, LongLinesAcrossReadChunks) {
  std::string content = "junk=" + std::string(3000, 'j') + "\n";
  // Put the CR of a CR LF pair at the last byte of a 512-byte read chunk.
  const size_t m = (511 - (content.size() + 2) % 512 + 512) % 512;
  content += "k=" + std::string(m, 'v') + "\r\n";
  ASSERT_EQ((content.size() - 2) % 512, 511u);
  content += "long=" + std::string(2000, 'L') + "\n";
  const auto p = file(content);
  char buf[4096];
  ASSERT_EQ(conf_get_space(p.c_str(), "k", buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf), std::string(m, 'v'));
  ASSERT_EQ(conf_get(p.c_str(), "long", buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf), std::string(2000, 'L'));
  ASSERT_EQ(conf_get(p.c_str(), "junk", buf, 10), 0);
  EXPECT_EQ(std::string(buf), std::string(9, 'j'));
}

TEST_F(ConfRead, HostapdConfFile) {
  const auto p = file(
      "# hostapd configuration of the camera\n"
      "interface=wlan0\n"
      "driver=rtl871xdrv\n"
      "ssid=VQ Camera 01\n"
      "hw_mode=g\n"
      "channel=6\n"
      "#wpa=2\n"
      "ignore_broadcast_ssid=0\n");
  EXPECT_EQ(get(p, "ssid", 128), "VQ");
  EXPECT_EQ(get_space(p, "ssid", 128), "VQ Camera 01");
  EXPECT_EQ(get(p, "interface"), "wlan0");
  EXPECT_EQ(conf_get_int(p.c_str(), "channel"), 6);
  EXPECT_EQ(conf_get_int(p.c_str(), "wpa"), 0);
}

TEST_F(ConfRead, GetIntSignedDecimal) {
  const auto p = file(
      "big=65536\nneg=-1\nplus=+5\nzeros=007\nzero=0\nmax=2147483647\nmin=-2147483648\n"
      "crlf=12\r\nblank=5 # note\nlongzeros=000000000000000000000000000000000000042\n");
  const char *path = p.c_str();
  EXPECT_EQ(conf_get_int(path, "big"), 65536);
  EXPECT_EQ(conf_get_int(path, "neg"), -1);
  EXPECT_EQ(conf_get_int(path, "plus"), 5);
  EXPECT_EQ(conf_get_int(path, "zeros"), 7);
  EXPECT_EQ(conf_get_int(path, "zero"), 0);
  EXPECT_EQ(conf_get_int(path, "max"), 2147483647);
  EXPECT_EQ(conf_get_int(path, "min"), -2147483647 - 1);
  EXPECT_EQ(conf_get_int(path, "crlf"), 12);
  EXPECT_EQ(conf_get_int(path, "blank"), 5);
  EXPECT_EQ(conf_get_int(path, "longzeros"), 42);
}

TEST_F(ConfRead, GetIntNonNumericOrOutOfRangeGivesZero) {
  const auto p = file(
      "empty=\nalpha=abc\ntrail=12abc\nhex=0x10\nlead= 5\nsign=-\nplus=+\ndouble=--1\n"
      "over=2147483648\nunder=-2147483649\nhuge=99999999999999999999999\nfrac=1.5\n");
  for (const char *key : {"empty", "alpha", "trail", "hex", "lead", "sign", "plus", "double",
                          "over", "under", "huge", "frac", "missing"}) {
    EXPECT_EQ(conf_get_int(p.c_str(), key), 0) << key;
  }
  EXPECT_EQ(conf_get_int(dir_.file("missing.conf").c_str(), "x"), 0);
}

}  // namespace
