/* Links the utility library into a C program with the C compiler driver,
 * which adds no libstdc++: any use of operator new, __cxa_*, __gxx_personality
 * or other parts of libstdc++.so in the library fails this link. Running it
 * exercises every operation once; the argument is a writable folder. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* The declarations of utils/utils.h, which is a C++ header. */
struct Dict;
int conf_get(const char *path, const char *key, char *value, int size);
int conf_get_space(const char *path, const char *key, char *value, int size);
int conf_get_int(const char *path, const char *key);
int conf_set(const char *path, const char *key, const char *value);
struct Dict *DictCreate(int reserved1, int reserved2);
int DictSetInt(struct Dict *dict, const char *key, int64_t value);
int DictEncodedSize(const struct Dict *dict);
int DictEncode(unsigned char *dest, int size, const struct Dict *dict);
void DictDestroy(struct Dict *dict);
uint32_t VQMSGetTick(void);

int main(int argc, char **argv) {
  char path[512];
  char value[64] = "";
  unsigned char buf[64];
  struct Dict *d;
  int n;
  int failures = 0;
  if (argc < 2) return 2;
  snprintf(path, sizeof path, "%s/c_link_check.conf", argv[1]);
  unlink(path);
  if (conf_set(path, "IPCnt", "3") != 0) ++failures;
  if (conf_set(path, "wifisid", "My Net") != 0) ++failures;
  if (conf_get_int(path, "IPCnt") != 3) ++failures;
  conf_get(path, "wifisid", value, sizeof value);
  if (strcmp(value, "My") != 0) ++failures;
  conf_get_space(path, "wifisid", value, sizeof value);
  if (strcmp(value, "My Net") != 0) ++failures;
  unlink(path);

  d = DictCreate(0, 0);
  DictSetInt(d, "Time", VQMSGetTick());
  n = DictEncodedSize(d);
  if (n < 7 || n > 11 || DictEncode(buf, n, d) != n || buf[0] != 0xA1) ++failures;
  DictDestroy(d);
  printf("%s\n", failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
