// conf_set beside readers and other writers, in threads and processes.
#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "utils/tests/test_support.h"
#include "utils/utils.h"

namespace {

using utils_test::read_file;
using utils_test::TempDir;
using utils_test::write_file;

// Whole-file read with read(2), so a torn or partial file would show.
std::string read_all(const std::string &path, bool *ok) {
  std::string s;
  const int fd = open(path.c_str(), O_RDONLY);
  *ok = fd >= 0;
  if (fd < 0) return s;
  char buf[997];  // odd size: reads end at varying offsets
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  if (n < 0) *ok = false;
  close(fd);
  return s;
}

const std::string kHead = "# camera settings\ninterface=wlan0\nssid=";
const std::string kTail = "\nchannel=6\n" + std::string(3000, '#') + "\nlast=line";

TEST(ConfConcurrency, ReaderNeverSeesAPartialFileWhileWriterRewrites) {
  TempDir dir;
  const std::string path = dir.file("hostapd.conf");
  // Values of very different lengths, so any mix of two files is detected.
  const std::vector<std::string> values = {"a", std::string(100, 'b') + " with blanks",
                                           std::string(1500, 'c'), ""};
  std::set<std::string> valid_files;
  std::set<std::string> valid_values;
  for (const auto &v : values) {
    valid_files.insert(kHead + v + kTail);
    valid_values.insert(v);
  }
  write_file(path, kHead + values[0] + kTail);

  constexpr int kRewrites = 3000;
  std::atomic<bool> done{false};
  std::atomic<long> reads{0};
  std::atomic<long> bad_files{0};
  std::atomic<long> bad_values{0};
  std::string first_bad;

  std::thread reader([&] {
    while (!done.load()) {
      bool ok = false;
      const std::string content = read_all(path, &ok);
      if (!ok || valid_files.count(content) == 0) {
        if (bad_files++ == 0) first_bad = content.substr(0, 200);
      }
      char buf[2048];
      memset(buf, 'X', sizeof buf);
      if (conf_get_space(path.c_str(), "ssid", buf, sizeof buf) != 0 ||
          valid_values.count(buf) == 0) {
        ++bad_values;
      }
      ++reads;
    }
  });

  for (int i = 0; i < kRewrites; ++i) {
    ASSERT_EQ(conf_set(path.c_str(), "ssid", values[static_cast<size_t>(i + 1) % values.size()].c_str()), 0)
        << "rewrite " << i << ": " << strerror(errno);
  }
  done = true;
  reader.join();

  EXPECT_EQ(bad_files.load(), 0) << "first bad read began: " << first_bad;
  EXPECT_EQ(bad_values.load(), 0);
  EXPECT_GT(reads.load(), 100);
  EXPECT_EQ(read_file(path), kHead + values[kRewrites % values.size()] + kTail);
  EXPECT_EQ(dir.list(), std::vector<std::string>{"hostapd.conf"});
  RecordProperty("reads", static_cast<int>(reads.load()));
}

TEST(ConfConcurrency, TwoWriterThreadsLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("IPRate.conf");
  write_file(path, "IPCnt=1\nip0=10.0.0.1\n");
  constexpr int kEach = 500;
  auto writer = [&](const char *key) {
    for (int i = 0; i < kEach; ++i) {
      const std::string v = std::to_string(i);
      if (conf_set(path.c_str(), key, v.c_str()) != 0) ADD_FAILURE() << key << " " << i;
    }
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  const std::string last = std::to_string(kEach - 1);
  const std::string content = read_file(path);
  EXPECT_TRUE(content == "IPCnt=1\nip0=10.0.0.1\nA=" + last + "\nB=" + last + "\n" ||
              content == "IPCnt=1\nip0=10.0.0.1\nB=" + last + "\nA=" + last + "\n")
      << content;
  EXPECT_EQ(dir.list(), std::vector<std::string>{"IPRate.conf"});
}

TEST(ConfConcurrency, TwoWriterProcessesLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("wifinet.cfg");
  write_file(path, "isopen=1\nsafetype=wpa\n");
  constexpr int kEach = 300;
  std::vector<pid_t> children;
  for (const char *key : {"A", "B"}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kEach; ++i) {
        const std::string v = std::to_string(i);
        if (conf_set(path.c_str(), key, v.c_str()) != 0) ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Each process's last update survives: the folder lock serialises them.
  EXPECT_EQ(conf_get_int(path.c_str(), "A"), kEach - 1);
  EXPECT_EQ(conf_get_int(path.c_str(), "B"), kEach - 1);
  const std::string content = read_file(path);
  EXPECT_EQ(content.rfind("isopen=1\nsafetype=wpa\n", 0), 0u) << content;
  EXPECT_EQ(content.size(), std::string("isopen=1\nsafetype=wpa\nA=299\nB=299\n").size());
  EXPECT_EQ(dir.list(), std::vector<std::string>{"wifinet.cfg"});
}

}  // namespace
