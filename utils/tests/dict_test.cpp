// The dictionary's CBOR bytes, sizes and limits.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "utils/dict_internal.h"
#include "utils/utils.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes encode(const Dict *d) {
  const int n = DictEncodedSize(d);
  Bytes out(static_cast<size_t>(n) + 8, 0xEE);  // guard bytes after the end
  EXPECT_EQ(DictEncode(out.data(), n + 8, d), n);
  for (size_t i = static_cast<size_t>(n); i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << i;
  out.resize(static_cast<size_t>(n));
  return out;
}

Bytes time_dict(int64_t t) {
  Dict *d = DictCreate(0, 0);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(DictSetInt(d, "Time", t), 0);
  Bytes b = encode(d);
  DictDestroy(d);
  return b;
}

// A1 64 'T' 'i' 'm' 'e' followed by `tail`.
Bytes time_bytes(Bytes tail) {
  Bytes b = {0xA1, 0x64, 'T', 'i', 'm', 'e'};
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

TEST(Dict, EmptyMap) {
  Dict *d = DictCreate(0, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(DictEncodedSize(d), 1);
  EXPECT_EQ(encode(d), Bytes{0xA0});
  DictDestroy(d);
}

TEST(Dict, TimeEntryShortestIntegers) {
  EXPECT_EQ(time_dict(0), time_bytes({0x00}));
  EXPECT_EQ(time_dict(23), time_bytes({0x17}));
  EXPECT_EQ(time_dict(24), time_bytes({0x18, 0x18}));
  EXPECT_EQ(time_dict(255), time_bytes({0x18, 0xFF}));
  EXPECT_EQ(time_dict(256), time_bytes({0x19, 0x01, 0x00}));
  EXPECT_EQ(time_dict(65535), time_bytes({0x19, 0xFF, 0xFF}));
  EXPECT_EQ(time_dict(65536), time_bytes({0x1A, 0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ(time_dict(123456789), time_bytes({0x1A, 0x07, 0x5B, 0xCD, 0x15}));
  EXPECT_EQ(time_dict(0xFFFFFFFFLL), time_bytes({0x1A, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(time_dict(0x100000000LL), time_bytes({0x1B, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(time_dict(INT64_MAX), time_bytes({0x1B, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Dict, NegativeIntegers) {
  EXPECT_EQ(time_dict(-1), time_bytes({0x20}));
  EXPECT_EQ(time_dict(-24), time_bytes({0x37}));
  EXPECT_EQ(time_dict(-25), time_bytes({0x38, 0x18}));
  EXPECT_EQ(time_dict(-256), time_bytes({0x38, 0xFF}));
  EXPECT_EQ(time_dict(-257), time_bytes({0x39, 0x01, 0x00}));
  EXPECT_EQ(time_dict(INT64_MIN), time_bytes({0x3B, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Dict, TimeEntryFitsTheProbe) {
  for (int64_t t : {int64_t{0}, int64_t{0xFFFFFFFF}, INT64_MIN, INT64_MAX}) {
    Dict *d = DictCreate(0, 0);
    DictSetInt(d, "Time", t);
    EXPECT_LE(DictEncodedSize(d), 51);
    DictDestroy(d);
  }
  Dict *d = DictCreate(0, 0);
  DictSetInt(d, "Time", VQMSGetTick());
  EXPECT_GE(DictEncodedSize(d), 7);
  EXPECT_LE(DictEncodedSize(d), 11);
  DictDestroy(d);
}

TEST(Dict, SameKeyReplacesValue) {
  Dict *d = DictCreate(0, 0);
  EXPECT_EQ(DictSetInt(d, "Time", 1), 0);
  EXPECT_EQ(DictSetInt(d, "Time", 2), 0);
  EXPECT_EQ(encode(d), time_bytes({0x02}));
  DictDestroy(d);
}

TEST(Dict, KeysInDeterministicOrder) {
  Dict *d = DictCreate(0, 0);
  EXPECT_EQ(DictSetInt(d, "bb", 1), 0);
  EXPECT_EQ(DictSetInt(d, "a", 2), 0);
  EXPECT_EQ(DictSetInt(d, "ab", 3), 0);
  EXPECT_EQ(DictSetInt(d, "", 4), 0);
  EXPECT_EQ(encode(d), (Bytes{0xA4, 0x60, 0x04, 0x61, 'a', 0x02, 0x62, 'a', 'b', 0x03, 0x62, 'b', 'b', 0x01}));
  DictDestroy(d);
}

TEST(Dict, FullDictionaryRefusesANewKey) {
  Dict *d = DictCreate(0, 0);
  for (int i = 0; i < camnet_utils::kDictMaxEntries; ++i) {
    EXPECT_EQ(DictSetInt(d, ("k" + std::to_string(i)).c_str(), i), 0);
  }
  const int size = DictEncodedSize(d);
  EXPECT_EQ(DictSetInt(d, "one_more", 1), -1);
  EXPECT_EQ(DictEncodedSize(d), size);
  EXPECT_EQ(DictSetInt(d, "k3", 33), 0);  // replacing still works
  EXPECT_EQ(encode(d)[0], 0xA0 + camnet_utils::kDictMaxEntries);
  DictDestroy(d);
}

TEST(Dict, OverLongOrInvalidKeyRefused) {
  Dict *d = DictCreate(0, 0);
  const std::string longest(static_cast<size_t>(camnet_utils::kDictMaxKeyLen), 'x');
  EXPECT_EQ(DictSetInt(d, longest.c_str(), 1), 0);
  EXPECT_EQ(DictSetInt(d, (longest + "y").c_str(), 1), -1);
  EXPECT_EQ(DictSetInt(d, std::string(1000, 'z').c_str(), 1), -1);
  EXPECT_EQ(DictSetInt(d, "\xff", 1), -1);          // not UTF-8
  EXPECT_EQ(DictSetInt(d, "\xc3", 1), -1);          // cut sequence
  EXPECT_EQ(DictSetInt(d, "\xc0\x80", 1), -1);      // overlong
  EXPECT_EQ(DictSetInt(d, "\xed\xa0\x80", 1), -1);  // surrogate
  EXPECT_EQ(DictSetInt(d, "Zeit\xc3\xa4", 1), 0);   // "Zeitä"
  EXPECT_EQ(DictSetInt(d, nullptr, 1), -1);
  const Bytes b = encode(d);
  EXPECT_EQ(b[0], 0xA2);
  EXPECT_EQ(b[1], 0x66);        // 6-byte text first
  EXPECT_EQ(b[9], 0x78);        // 31-byte text: one extra length byte
  EXPECT_EQ(b[10], 31);
  DictDestroy(d);
}

TEST(Dict, EncodeRefusesASmallBuffer) {
  Dict *d = DictCreate(0, 0);
  DictSetInt(d, "Time", 100000);
  const int n = DictEncodedSize(d);
  ASSERT_EQ(n, 11);
  unsigned char buf[16];
  memset(buf, 0xEE, sizeof buf);
  EXPECT_EQ(DictEncode(buf, n - 1, d), -1);
  EXPECT_EQ(DictEncode(buf, 0, d), -1);
  for (unsigned char c : buf) EXPECT_EQ(c, 0xEE);
  EXPECT_EQ(DictEncode(buf, n, d), n);
  EXPECT_EQ(buf[n], 0xEE);
  EXPECT_EQ(DictEncode(nullptr, n, d), -1);
  DictDestroy(d);
}

TEST(Dict, NullHandles) {
  unsigned char buf[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(DictSetInt(nullptr, "Time", 1), -1);
  EXPECT_EQ(DictEncodedSize(nullptr), 0);
  EXPECT_EQ(DictEncode(buf, 4, nullptr), -1);
  EXPECT_EQ(buf[0], 0xEE);
  DictDestroy(nullptr);
}

TEST(Dict, ProbeSequenceAsRateprobeCallsIt) {
  // The probe's order: create, tick, set, size, encode at offset 13 of a 64-byte
  // buffer with exactly that size, destroy.
  unsigned char datagram[64] = {};
  Dict *d = DictCreate(0, 0);
  const uint32_t tick = VQMSGetTick();
  DictSetInt(d, "Time", tick);
  const uint16_t n = static_cast<uint16_t>(DictEncodedSize(d));
  ASSERT_LE(n, 51);
  EXPECT_EQ(DictEncode(datagram + 13, n, d), n);
  DictDestroy(d);
  EXPECT_EQ(datagram[13], 0xA1);
  for (size_t i = 13u + n; i < sizeof datagram; ++i) EXPECT_EQ(datagram[i], 0) << i;
}

}  // namespace
