// Our library in place of the camera's utility library: key=value
// configuration files, a small dictionary encoder, and the tick count.
#ifndef CAMNET_UTILS_UTILS_H
#define CAMNET_UTILS_UTILS_H

#include <cstdint>

extern "C" {

// ---- Configuration files ---------------------------------------------------
// (rules documented by the implementation below)
int conf_get(const char *path, const char *key, char *value, int size);
int conf_get_space(const char *path, const char *key, char *value, int size);
int conf_get_int(const char *path, const char *key);
int conf_set(const char *path, const char *key, const char *value);

// ---- Dictionary --------------------------------------------------------------
struct Dict;
Dict *DictCreate(int reserved1, int reserved2);
int DictSetInt(Dict *dict, const char *key, int64_t value);
int DictEncodedSize(const Dict *dict);
int DictEncode(unsigned char *dest, int size, const Dict *dict);
void DictDestroy(Dict *dict);

// ---- Tick ------------------------------------------------------------------
uint32_t VQMSGetTick(void);

}  // extern "C"

#endif
