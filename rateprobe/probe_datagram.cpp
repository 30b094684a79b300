#include "rateprobe/probe_datagram.h"

#include <cstring>

void write_probe_header(unsigned char *header, uint16_t dict_size)
{
    // Total length, 12 bits, in the upper bits of the little-endian 16-bit
    // unit at offset 2; its low four bits stay clear.
    const unsigned length = (kProbeHeaderSize + dict_size) % 4096u;
    const unsigned length_unit = length << 4;

    header[0] = 0;
    header[1] = 0;
    header[2] = static_cast<unsigned char>(length_unit & 0xFFu);
    header[3] = static_cast<unsigned char>(length_unit >> 8);
    // Message type in the upper half, 2 in the lowest two bits.
    header[4] = static_cast<unsigned char>((kProbeMessageType << 4) | 2u);
    header[5] = 0;
    header[6] = 0;
    header[7] = 9;
    std::memset(header + 8, 0, kProbeHeaderSize - 8);
}

size_t build_probe(unsigned char (&datagram)[kProbeBufferSize], const Dict *dict)
{
    const uint16_t dict_size = static_cast<uint16_t>(DictEncodedSize(dict));
    if (dict_size > kMaxDictSize) {
        return 0;
    }
    std::memset(datagram, 0, sizeof datagram);
    write_probe_header(datagram, dict_size);
    DictEncode(datagram + kProbeHeaderSize, dict_size, dict);
    return kProbeHeaderSize + dict_size;
}
