#include "rateprobe/probe_datagram.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ProbeHeader, TenByteDictionaryGivesTheDocumentedBytes)
{
    unsigned char header[kProbeHeaderSize];
    std::memset(header, 0xAA, sizeof header);
    write_probe_header(header, 10);
    const unsigned char expected[kProbeHeaderSize] = {0x00, 0x00, 0x70, 0x01, 0xF2, 0x00, 0x00,
                                                      0x09, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(header, expected, sizeof expected));
}

TEST(ProbeHeader, LengthWordHoldsTheTotalModulo4096)
{
    struct {
        uint16_t dict_size;
        unsigned char byte2, byte3;
    } cases[] = {
        {0, 0xD0, 0x00},     // 13
        {3, 0x00, 0x01},     // 16: first carry into byte 3
        {51, 0x00, 0x04},    // 64, the largest probe
        {4082, 0xF0, 0xFF},  // 4095
        {4083, 0x00, 0x00},  // 4096 wraps to 0
        {4088, 0x50, 0x00},  // 4101 wraps to 5
    };
    for (const auto &c : cases) {
        unsigned char header[kProbeHeaderSize];
        write_probe_header(header, c.dict_size);
        EXPECT_EQ(header[2], c.byte2) << c.dict_size;
        EXPECT_EQ(header[3], c.byte3) << c.dict_size;
        EXPECT_EQ(header[4], 0xF2) << c.dict_size;
    }
}

struct DictHolder {
    Dict *dict = DictCreate(0, 0);
    ~DictHolder() { DictDestroy(dict); }
};

TEST(BuildProbe, HeaderThenTheEncodedDictionaryThenZeros)
{
    DictHolder holder;
    ASSERT_NE(holder.dict, nullptr);
    ASSERT_EQ(DictSetInt(holder.dict, "Time", 0x12345678), 0);
    const int n = DictEncodedSize(holder.dict);
    ASSERT_GT(n, 0);

    unsigned char datagram[kProbeBufferSize];
    std::memset(datagram, 0xAA, sizeof datagram);
    ASSERT_EQ(build_probe(datagram, holder.dict), kProbeHeaderSize + n);

    unsigned char header[kProbeHeaderSize];
    write_probe_header(header, static_cast<uint16_t>(n));
    EXPECT_EQ(0, std::memcmp(datagram, header, sizeof header));

    unsigned char encoded[kProbeBufferSize] = {};
    ASSERT_EQ(DictEncode(encoded, n, holder.dict), n);
    EXPECT_EQ(0, std::memcmp(datagram + kProbeHeaderSize, encoded, n));
    for (size_t i = kProbeHeaderSize + n; i < sizeof datagram; ++i) {
        EXPECT_EQ(datagram[i], 0) << "byte " << i;
    }
}

// Two entries whose encoded map takes exactly 51 bytes: map head 1, a 31-byte
// key (head 2) with 0 (1), a 14-byte key (head 1) with `second` (1 or 2).
void fill_to_size(Dict *dict, int64_t second)
{
    ASSERT_EQ(DictSetInt(dict, "k123456789012345678901234567890", 0), 0);
    ASSERT_EQ(DictSetInt(dict, "k1234567890123", second), 0);
}

TEST(BuildProbe, FiftyOneByteDictionaryFillsTheBuffer)
{
    DictHolder holder;
    fill_to_size(holder.dict, 23);
    ASSERT_EQ(DictEncodedSize(holder.dict), 51);
    unsigned char datagram[kProbeBufferSize];
    EXPECT_EQ(build_probe(datagram, holder.dict), kProbeBufferSize);
    EXPECT_EQ(datagram[2], 0x00);
    EXPECT_EQ(datagram[3], 0x04);
}

TEST(BuildProbe, LargerDictionaryIsRefusedAndNothingWritten)
{
    DictHolder holder;
    fill_to_size(holder.dict, 24);
    ASSERT_EQ(DictEncodedSize(holder.dict), 52);
    unsigned char datagram[kProbeBufferSize];
    std::memset(datagram, 0xAA, sizeof datagram);
    EXPECT_EQ(build_probe(datagram, holder.dict), 0u);
    for (unsigned char byte : datagram) {
        EXPECT_EQ(byte, 0xAA);
    }
}

}  // namespace
