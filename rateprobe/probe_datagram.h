// The probe datagram: a 13-byte header, then the encoded dictionary.
#ifndef CAMNET_RATEPROBE_PROBE_DATAGRAM_H
#define CAMNET_RATEPROBE_PROBE_DATAGRAM_H

#include "utils/utils.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kProbeHeaderSize = 13;
constexpr size_t kProbeBufferSize = 64;
constexpr size_t kMaxDictSize = kProbeBufferSize - kProbeHeaderSize;

// The message type that a probe carries and a reply must carry too: the
// upper half of header byte 4.
constexpr unsigned kProbeMessageType = 15;

// Writes the 13 header bytes of a datagram whose dictionary takes
// `dict_size` bytes. Byte by byte, so the layout does not depend on the
// CPU's byte order.
void write_probe_header(unsigned char *header, uint16_t dict_size);

// Clears `datagram` and builds a whole probe in it from `dict`. Returns the
// length to send, or 0 when the encoded dictionary would not fit.
size_t build_probe(unsigned char (&datagram)[kProbeBufferSize], const Dict *dict);

#endif
