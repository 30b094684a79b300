// Prints the encodings that cbor_check.py decodes with cbor2, one per line:
// "<case> <hex bytes>". Cases "time:<t>" hold {"Time": t}; "multi" holds the
// dictionary described in cbor_check.py.
#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "utils/utils.h"

namespace {

int dump(const char *name, const Dict *d) {
  unsigned char buf[512];
  const int n = DictEncodedSize(d);
  if (n <= 0 || n > static_cast<int>(sizeof buf) || DictEncode(buf, n, d) != n) {
    fprintf(stderr, "%s: encoding failed\n", name);
    return 1;
  }
  printf("%s ", name);
  for (int i = 0; i < n; ++i) printf("%02x", buf[i]);
  printf("\n");
  return 0;
}

int dump_time(int64_t t) {
  Dict *d = DictCreate(0, 0);
  if (d == nullptr || DictSetInt(d, "Time", t) != 0) return 1;
  char name[64];
  snprintf(name, sizeof name, "time:%" PRId64, t);
  const int rc = dump(name, d);
  DictDestroy(d);
  return rc;
}

}  // namespace

int main() {
  int failures = 0;
  // Small (in the head), 1-byte, 2-byte and 4-byte ticks, at their edges.
  const int64_t ticks[] = {0,     1,          23,         24,         100,       255,
                           256,   1000,       65535,      65536,      123456789, 0x7FFFFFFF,
                           0x80000000LL,      0xFFFFFFFFLL};
  for (int64_t t : ticks) failures += dump_time(t);
  failures += dump_time(static_cast<int64_t>(VQMSGetTick()));
  // Beyond what the probe uses: 8-byte and negative values.
  const int64_t others[] = {0x100000000LL, INT64_MAX, -1, -24, -25, -65537, INT64_MIN};
  for (int64_t t : others) failures += dump_time(t);

  Dict *d = DictCreate(0, 0);
  if (d == nullptr) return 1;
  DictSetInt(d, "Time", 4000000000LL);
  DictSetInt(d, "seq", -7);
  DictSetInt(d, "port", 8080);
  DictSetInt(d, "x", 0);
  DictSetInt(d, "Gr\xc3\xb6\xc3\x9f" "e", 1);
  DictSetInt(d, "a_key_of_thirty_one_bytes_long_", 65536);
  failures += dump("multi", d);
  DictDestroy(d);
  return failures == 0 ? 0 : 1;
}
