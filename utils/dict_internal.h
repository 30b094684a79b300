// Internal to the utility library (and its tests): the dictionary's limits.
#ifndef CAMNET_UTILS_DICT_INTERNAL_H
#define CAMNET_UTILS_DICT_INTERNAL_H

namespace camnet_utils {

// Entries one dictionary holds; DictSetInt refuses a further new key.
constexpr int kDictMaxEntries = 8;
// Longest key in bytes (without the NUL); DictSetInt refuses longer keys.
constexpr int kDictMaxKeyLen = 31;

}  // namespace camnet_utils

#endif
