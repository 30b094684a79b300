// A conf_set that cannot complete keeps the old file and leaves no temporary
// file behind. Each case runs conf_set in a forked child, so the privilege,
// namespace or limit change stays there, and reports through the exit code:
// 0 as expected, 77 the case cannot be set up here (skipped), else failure.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "utils/tests/test_support.h"
#include "utils/utils.h"

namespace {

using utils_test::list_folder;
using utils_test::read_file;
using utils_test::TempDir;
using utils_test::write_file;

constexpr int kSkip = 77;

// Runs `body` in a child process; returns its exit code (-1 if it died).
template <class F>
int in_child(F body) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) _exit(body());
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child's verdict: conf_set failed with `want_errno` (0: any errno).
int expect_failure(const std::string &path, int want_errno) {
  errno = 0;
  const int rc = conf_set(path.c_str(), "ssid", "NEW_NAME");
  const int err = errno;
  if (rc != -1) {
    fprintf(stderr, "conf_set succeeded\n");
    return 1;
  }
  if (want_errno != 0 && err != want_errno) {
    fprintf(stderr, "conf_set failed with %d (%s), expected %d (%s)\n", err, strerror(err),
            want_errno, strerror(want_errno));
    return 2;
  }
  return 0;
}

bool write_proc(const char *file, const std::string &text) {
  const int fd = open(file, O_WRONLY);
  if (fd < 0) return false;
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

// In the child: a user and mount namespace of its own, in which it may mount.
bool enter_private_namespace() {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  write_proc("/proc/self/setgroups", "deny");
  if (!write_proc("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n")) return false;
  if (!write_proc("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n")) return false;
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

const std::string kContent = "interface=wlan0\n#ssid=x\nssid=OLD_NAME\nchannel=6\n";

class ConfSetFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(conf_dir_.c_str(), 0755), 0);
    write_file(path_, kContent);
  }
  void TearDown() override { chmod(conf_dir_.c_str(), 0755); }
  // The old file is intact and nothing else is in its folder.
  void expect_untouched() {
    EXPECT_EQ(read_file(path_), kContent);
    EXPECT_EQ(list_folder(conf_dir_), std::vector<std::string>{"hostapd.conf"});
  }

  TempDir dir_;
  std::string conf_dir_ = dir_.file("sif");
  std::string path_ = conf_dir_ + "/hostapd.conf";
};

// A folder without write permission, written by an ordinary user. Root
// ignores permission bits, so as root the child first becomes "nobody".
TEST_F(ConfSetFailure, UnwritableFolderForAnOrdinaryUser) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);  // let "nobody" reach it
  ASSERT_EQ(chmod(conf_dir_.c_str(), 0555), 0);
  const int rc = in_child([&] {
    if (geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return kSkip;
    }
    // The setting up is genuine only if the folder now refuses writes.
    if (access(conf_dir_.c_str(), W_OK) == 0) return kSkip;
    if (access(path_.c_str(), R_OK) != 0) return 3;
    return expect_failure(path_, EACCES);
  });
  if (rc == kSkip) GTEST_SKIP() << "cannot drop to an unprivileged user here";
  EXPECT_EQ(rc, 0);
  expect_untouched();
}

// A read-only mount of the folder (EROFS), which binds root as well: in a
// private user and mount namespace, the folder is bound read-only onto
// itself.
TEST_F(ConfSetFailure, ReadOnlyMountedFolder) {
  const int rc = in_child([&] {
    if (!enter_private_namespace()) return kSkip;
    if (mount(conf_dir_.c_str(), conf_dir_.c_str(), nullptr, MS_BIND, nullptr) != 0) return kSkip;
    if (mount(nullptr, conf_dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      return kSkip;
    // Make sure the folder really is read-only for us now.
    const std::string probe = conf_dir_ + "/probe";
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 || errno != EROFS) return 4;
    return expect_failure(path_, EROFS);
  });
  if (rc == kSkip) GTEST_SKIP() << "no user/mount namespaces here";
  EXPECT_EQ(rc, 0);
  expect_untouched();
}

// A full disk: the folder is a tiny tmpfs (in a private namespace) that a
// filler file has filled to the last block, so writing the temporary file
// fails with ENOSPC.
TEST_F(ConfSetFailure, FullDisk) {
  const int rc = in_child([&] {
    if (!enter_private_namespace()) return kSkip;
    if (mount("tmpfs", conf_dir_.c_str(), "tmpfs", 0, "size=64k,mode=755") != 0) return kSkip;
    // Large enough that the new file needs data blocks of its own.
    const std::string big = kContent + std::string(6000, '#') + "\n";
    {
      std::ofstream out(path_, std::ios::binary);
      out << big;
    }
    const std::string filler = conf_dir_ + "/filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd < 0) return 5;
    char block[4096];
    memset(block, 'f', sizeof block);
    while (write(fd, block, sizeof block) > 0) {
    }
    while (write(fd, block, 1) > 0) {
    }
    if (errno != ENOSPC) return 6;
    close(fd);
    if (expect_failure(path_, ENOSPC) != 0) return 7;
    if (read_file(path_) != big) return 8;
    auto names = list_folder(conf_dir_);
    if (names.size() != 2) return 9;  // hostapd.conf and filler only
    return 0;
  });
  if (rc == kSkip) GTEST_SKIP() << "no user/mount namespaces here";
  EXPECT_EQ(rc, 0);
}

// A file size limit (RLIMIT_FSIZE) stops the temporary file's write midway
// (EFBIG), as a full disk does; works without any privilege.
TEST_F(ConfSetFailure, WriteFailsMidway) {
  write_file(path_, kContent + std::string(20000, '#') + "\n");
  const std::string before = read_file(path_);
  const int rc = in_child([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {8192, 8192};
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return kSkip;
    return expect_failure(path_, EFBIG);
  });
  if (rc == kSkip) GTEST_SKIP() << "cannot set RLIMIT_FSIZE";
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read_file(path_), before);
  EXPECT_EQ(list_folder(conf_dir_), std::vector<std::string>{"hostapd.conf"});
}

// An existing file that cannot be read is never replaced.
TEST_F(ConfSetFailure, UnreadableOldFileIsNotReplaced) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(conf_dir_.c_str(), 0777), 0);
  ASSERT_EQ(chmod(path_.c_str(), 0600), 0);  // owned by us (root): not readable by nobody
  const int rc = in_child([&] {
    if (geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return kSkip;
    }
    if (access(path_.c_str(), R_OK) == 0) return kSkip;
    return expect_failure(path_, EACCES);
  });
  if (rc == kSkip) GTEST_SKIP() << "cannot make the file unreadable here";
  EXPECT_EQ(rc, 0);
  expect_untouched();
}

}  // namespace

namespace {

// Not a failure: a folder that may be written but not listed (mode -wx)
// still takes the new file; only the folder lock and fsync are left out.
TEST_F(ConfSetFailure, WriteOnlyFolderStillWorks) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(conf_dir_.c_str(), 0333), 0);
  const int rc = in_child([&] {
    if (geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return kSkip;
    }
    if (access(conf_dir_.c_str(), R_OK) == 0 || access(conf_dir_.c_str(), W_OK | X_OK) != 0)
      return kSkip;
    return conf_set(path_.c_str(), "ssid", "NEW_NAME") == 0 ? 0 : 1;
  });
  ASSERT_EQ(chmod(conf_dir_.c_str(), 0755), 0);
  if (rc == kSkip) GTEST_SKIP() << "cannot drop to an unprivileged user here";
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read_file(path_), "interface=wlan0\n#ssid=x\nssid=NEW_NAME\nchannel=6\n");
  EXPECT_EQ(list_folder(conf_dir_), std::vector<std::string>{"hostapd.conf"});
}

}  // namespace

namespace {

// A FIFO where a file is expected is refused at once by readers and the
// writer alike; nobody waits for a writer to open its other end.
TEST_F(ConfSetFailure, FifoAtThePathIsRefusedWithoutWaiting) {
  const std::string fifo = conf_dir_ + "/fifo.conf";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const int rc = in_child([&] {
    alarm(5);  // a blocked open ends the child, and the case fails
    char value[16];
    memset(value, 'X', sizeof value);
    if (conf_get(fifo.c_str(), "ssid", value, sizeof value) != -1 ||
        conf_get_space(fifo.c_str(), "ssid", value, sizeof value) != -1 ||
        conf_get_int(fifo.c_str(), "ssid") != 0 || value[0] != 'X') {
      return 1;
    }
    return expect_failure(fifo, EINVAL);
  });
  EXPECT_EQ(rc, 0);
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(list_folder(conf_dir_), (std::vector<std::string>{"fifo.conf", "hostapd.conf"}));
}

}  // namespace
