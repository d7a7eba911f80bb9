// Preloaded into program-cli by its tests: a system whose iconv has no
// converters, as one without glibc's gconv modules.

#include <iconv.h>

#include <cerrno>

extern "C" iconv_t iconv_open(const char* /*to*/, const char* /*from*/) {
  errno = EINVAL;
  return reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's error value
}
