// Our library in place of the camera's utility library: key=value
// configuration files, a small dictionary encoder, and the tick count.
#ifndef CAMNET_UTILS_UTILS_H
#define CAMNET_UTILS_UTILS_H

#include <cstdint>

extern "C" {

// ---- Configuration files ---------------------------------------------------
// Rules of the files (the same for every operation):
// - A file is a sequence of lines, each ended by LF; the last line may lack
//   it. A CR directly before the LF (or at the very end of the file) belongs
//   to the line end, not to the line's text.
// - A line's key is the exact text before its first '=' (no white space is
//   trimmed: "ssid = x" has the key "ssid "); its value is all the text after
//   that '='. Lines that start with '#' (comments), blank lines and lines
//   without '=' never match a key and are kept as they are.
// - The first line with the key wins, for reading and for conf_set.
// - A key must be non-empty, must not start with '#' and must not contain
//   '=', LF or CR; any other key makes the operation fail (-1 / 0) without
//   touching the file or the buffer.
// Results: 0 on success, -1 on failure (errno tells why; ENOENT for a
// missing file or key). Callers may ignore them.

// Reads the value of `key` up to its first blank (space or tab) or the line
// end into `value`: at most size - 1 bytes, then a NUL (size > 0). When the
// file or the key is missing, or `path` is not a plain file (a FIFO, a
// device: refused at once, never waited on), the buffer is left untouched.
// Example: "ssid=My Net" gives "My".
int conf_get(const char *path, const char *key, char *value, int size);
// As conf_get, but takes the value whole, blanks included: "My Net".
int conf_get_space(const char *path, const char *key, char *value, int size);
// The value (as conf_get reads it) as a signed decimal int: an optional '+'
// or '-' and one or more digits, nothing else ("65536" is 65536, "-1" is -1,
// "007" is 7). Returns 0 when the file or key is missing, and also when the
// value is empty, not such a number ("12abc", "0x10", " 5") or outside the
// range of int.
int conf_get_int(const char *path, const char *key);
// Sets `key` to `value` (which must not contain LF or CR): replaces the text
// after the '=' of the first line with the key, keeping that line's line
// end, or, when no line has the key, appends "key=value" and a line end (LF,
// or CR LF when the file's first line ends in CR LF; an unterminated last
// line is ended first). A missing file is created (mode 0666 less the
// umask). Every other byte of the file stays as it was.
// The new content goes to a temporary file ".<name>.<pid>.tmp" in the same
// folder (".<name>.<pid>.<n>.tmp" while several threads write at once;
// <name> is at most 64 bytes of the file's name), is fsynced and renamed
// over the file (which keeps its mode and, where permitted, its owner); a
// concurrent reader sees the old or the new file, never a partial one. On
// any failure (unwritable folder, full disk, unreadable old file, a FIFO or
// device at `path`) the old file is left as it was and the temporary file
// is removed; only a crash in the middle can leave one behind.
// A symbolic link at `path` is followed: the file it names is replaced.
// Hard links to the old file keep the old content. Paths after following
// links are limited to 1023 bytes. Safe to call from several threads and
// processes at once: calls in one process are serialised by a mutex, calls
// of different processes by an flock on the folder (when the folder can be
// opened for reading), so no update is lost.
int conf_set(const char *path, const char *key, const char *value);

// ---- Dictionary --------------------------------------------------------------
// A map of up to 8 text keys (valid UTF-8, at most 31 bytes each) to 64-bit
// integers, in one malloc'ed block. Its encoded form is a CBOR map
// (RFC 8949) of text strings to integers in deterministic encoding: shortest
// heads and integer arguments, keys ordered by their encoded bytes (shorter
// keys first). {"Time": t} for a 32-bit tick t takes 7 to 11 bytes.
struct Dict;
// A new empty dictionary; both arguments are ignored (callers pass 0, 0).
// Null when memory is short.
Dict *DictCreate(int reserved1, int reserved2);
// Adds the pair, or replaces the value when the key is present. Returns 0,
// or -1 (nothing changed) for a null dictionary or key, a key longer than
// 31 bytes or not UTF-8, or a new key when 8 entries are taken.
int DictSetInt(Dict *dict, const char *key, int64_t value);
// Bytes DictEncode writes; 0 for a null dictionary.
int DictEncodedSize(const Dict *dict);
// Writes the encoded form, exactly DictEncodedSize bytes, and returns that
// count; -1 (and nothing written) when `size` is smaller or an argument null.
int DictEncode(unsigned char *dest, int size, const Dict *dict);
// Releases the dictionary; a null handle is ignored.
void DictDestroy(Dict *dict);

// ---- Tick ------------------------------------------------------------------
// Milliseconds of the monotonic clock (CLOCK_MONOTONIC) as a 32-bit count
// that wraps about every 49.7 days; only differences are meaningful.
uint32_t VQMSGetTick(void);

}  // extern "C"

#endif
