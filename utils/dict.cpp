// The dictionary: a fixed table of text keys and 64-bit integers in a single
// malloc'ed block, encoded as a CBOR map (RFC 8949) in deterministic form:
// shortest lengths and integer arguments, keys sorted by their encoded bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "utils/dict_internal.h"
#include "utils/utils.h"

using camnet_utils::kDictMaxEntries;
using camnet_utils::kDictMaxKeyLen;

struct Dict {
  int count;
  struct Entry {
    unsigned char key_len;
    char key[kDictMaxKeyLen + 1];
    int64_t value;
  } entries[kDictMaxEntries];
};

namespace {

static_assert(kDictMaxEntries < 24, "map header must stay one byte");
static_assert(kDictMaxKeyLen < 256, "key header must stay at most two bytes");

// Bytes of a CBOR head (major type and argument) in shortest form.
int head_size(uint64_t arg) {
  if (arg < 24) return 1;
  if (arg <= 0xFFu) return 2;
  if (arg <= 0xFFFFu) return 3;
  if (arg <= 0xFFFFFFFFu) return 5;
  return 9;
}

unsigned char *put_head(unsigned char *p, unsigned major, uint64_t arg) {
  const unsigned char mt = static_cast<unsigned char>(major << 5);
  const int size = head_size(arg);
  if (size == 1) {
    *p++ = static_cast<unsigned char>(mt | arg);
    return p;
  }
  static const unsigned char kInfo[10] = {0, 0, 24, 25, 0, 26, 0, 0, 0, 27};
  *p++ = static_cast<unsigned char>(mt | kInfo[size]);
  for (int shift = (size - 2) * 8; shift >= 0; shift -= 8) {
    *p++ = static_cast<unsigned char>(arg >> shift);
  }
  return p;
}

// Major type 0 for v >= 0, else major type 1 with argument -1 - v.
void int_head(int64_t v, unsigned *major, uint64_t *arg) {
  if (v >= 0) {
    *major = 0;
    *arg = static_cast<uint64_t>(v);
  } else {
    *major = 1;
    *arg = ~static_cast<uint64_t>(v);  // == -1 - v, without overflow
  }
}

int entry_size(const Dict::Entry &e) {
  unsigned major;
  uint64_t arg;
  int_head(e.value, &major, &arg);
  return head_size(e.key_len) + e.key_len + head_size(arg);
}

// Well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF), since
// a CBOR text string must be UTF-8 and strict decoders reject anything else.
bool utf8_valid(const unsigned char *s, size_t n) {
  size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    size_t extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

// Deterministic order (RFC 8949 4.2.1): by encoded key, i.e. shorter keys
// first, then bytewise.
bool key_less(const Dict::Entry &a, const Dict::Entry &b) {
  if (a.key_len != b.key_len) return a.key_len < b.key_len;
  return memcmp(a.key, b.key, a.key_len) < 0;
}

}  // namespace

extern "C" Dict *DictCreate(int reserved1, int reserved2) {
  (void)reserved1;
  (void)reserved2;
  Dict *d = static_cast<Dict *>(malloc(sizeof(Dict)));
  if (d != nullptr) d->count = 0;
  return d;
}

extern "C" int DictSetInt(Dict *dict, const char *key, int64_t value) {
  if (dict == nullptr || key == nullptr) return -1;
  const size_t len = strlen(key);
  if (len > static_cast<size_t>(kDictMaxKeyLen)) return -1;
  if (!utf8_valid(reinterpret_cast<const unsigned char *>(key), len)) return -1;
  for (int i = 0; i < dict->count; ++i) {
    Dict::Entry &e = dict->entries[i];
    if (e.key_len == len && memcmp(e.key, key, len) == 0) {
      e.value = value;  // a map holds each key once
      return 0;
    }
  }
  if (dict->count >= kDictMaxEntries) return -1;
  Dict::Entry &e = dict->entries[dict->count++];
  e.key_len = static_cast<unsigned char>(len);
  memcpy(e.key, key, len + 1);
  e.value = value;
  return 0;
}

extern "C" int DictEncodedSize(const Dict *dict) {
  if (dict == nullptr) return 0;
  int size = head_size(static_cast<uint64_t>(dict->count));
  for (int i = 0; i < dict->count; ++i) size += entry_size(dict->entries[i]);
  return size;
}

extern "C" int DictEncode(unsigned char *dest, int size, const Dict *dict) {
  if (dict == nullptr || dest == nullptr) return -1;
  const int need = DictEncodedSize(dict);
  if (size < need) return -1;

  int order[kDictMaxEntries];
  for (int i = 0; i < dict->count; ++i) {
    int j = i;
    while (j > 0 && key_less(dict->entries[i], dict->entries[order[j - 1]])) {
      order[j] = order[j - 1];
      --j;
    }
    order[j] = i;
  }

  unsigned char *p = put_head(dest, 5, static_cast<uint64_t>(dict->count));
  for (int i = 0; i < dict->count; ++i) {
    const Dict::Entry &e = dict->entries[order[i]];
    p = put_head(p, 3, e.key_len);
    memcpy(p, e.key, e.key_len);
    p += e.key_len;
    unsigned major;
    uint64_t arg;
    int_head(e.value, &major, &arg);
    p = put_head(p, major, arg);
  }
  return static_cast<int>(p - dest);
}

extern "C" void DictDestroy(Dict *dict) { free(dict); }
