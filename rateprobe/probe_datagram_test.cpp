#include "rateprobe/probe_datagram.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ProbeHeader, LayoutAndLengthWordModulo4096)
{
    unsigned char header[kProbeHeaderSize];
    std::memset(header, 0xAA, sizeof header);
    write_probe_header(header, 10);
    const unsigned char ten[kProbeHeaderSize] = {0x00, 0x00, 0x70, 0x01, 0xF2, 0x00, 0x00,
                                                 0x09, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(header, ten, sizeof ten));

    // dictionary size -> bytes 2 and 3: 13, 16, 4095, 4096 (wraps), 4101
    const uint16_t sizes[] = {0, 3, 4082, 4083, 4088};
    const unsigned char words[][2] = {{0xD0, 0x00}, {0x00, 0x01}, {0xF0, 0xFF}, {0x00, 0x00},
                                      {0x50, 0x00}};
    for (size_t i = 0; i < 5; ++i) {
        write_probe_header(header, sizes[i]);
        EXPECT_EQ(header[2], words[i][0]) << sizes[i];
        EXPECT_EQ(header[3], words[i][1]) << sizes[i];
    }
}

struct DictHolder {
    Dict *dict = DictCreate(0, 0);
    ~DictHolder() { DictDestroy(dict); }
};

// Two entries whose map takes 51 bytes with `second` below 24, 52 from 24 on:
// map head 1, 31-byte key 2+31, 0 1, 14-byte key 1+14, `second` 1 or 2.
void fill(Dict *dict, int64_t second)
{
    ASSERT_EQ(DictSetInt(dict, "k123456789012345678901234567890", 0), 0);
    ASSERT_EQ(DictSetInt(dict, "k1234567890123", second), 0);
}

TEST(BuildProbe, FiftyOneByteDictionaryFillsTheBufferExactly)
{
    DictHolder holder;
    fill(holder.dict, 23);
    ASSERT_EQ(DictEncodedSize(holder.dict), 51);
    unsigned char datagram[kProbeBufferSize];
    ASSERT_EQ(build_probe(datagram, holder.dict), kProbeBufferSize);
    unsigned char header[kProbeHeaderSize];
    write_probe_header(header, 51);
    EXPECT_EQ(0, std::memcmp(datagram, header, sizeof header));
    unsigned char encoded[51];
    DictEncode(encoded, 51, holder.dict);
    EXPECT_EQ(0, std::memcmp(datagram + kProbeHeaderSize, encoded, sizeof encoded));
}

TEST(BuildProbe, LargerDictionaryIsRefusedWithNothingWritten)
{
    DictHolder holder;
    fill(holder.dict, 24);
    ASSERT_EQ(DictEncodedSize(holder.dict), 52);
    unsigned char datagram[kProbeBufferSize];
    std::memset(datagram, 0xAA, sizeof datagram);
    EXPECT_EQ(build_probe(datagram, holder.dict), 0u);
    for (unsigned char byte : datagram) {
        ASSERT_EQ(byte, 0xAA);
    }
}

}  // namespace
