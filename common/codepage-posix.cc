#include "common/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <stdexcept>

namespace tavelund {
namespace {

[[noreturn]] void throwErrno(int error) {
  CodepageCause cause = CodepageCause::Unknown;
  switch (error) {
    case EILSEQ:
    case EINVAL:
      cause = CodepageCause::NoUnicodeTranslation;
      break;
    case E2BIG:
      cause = CodepageCause::InsufficientBuffer;
      break;
    default:
      break;
  }
  throw std::runtime_error(codepageErrorText(cause, error));
}

// One conversion through iconv; the output buffer grows until it fits.
template <typename Out, typename In>
Out convert(const char* to, const char* from, const In* input, size_t inputBytes) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(codepageErrorText(CodepageCause::InvalidParameter));
  }
  Out out;
  out.resize(inputBytes / sizeof(In) + 4);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(input));
  size_t inLeft = inputBytes;
  size_t used = 0;
  for (;;) {
    char* outPtr = reinterpret_cast<char*>(out.data()) + used;
    size_t outLeft = out.size() * sizeof(typename Out::value_type) - used;
    const size_t before = outLeft;
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    used += before - outLeft;
    if (rc != static_cast<size_t>(-1)) {
      // Flush any pending shift state.
      const size_t beforeFlush = outLeft;
      const size_t flushed = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
      used += beforeFlush - outLeft;
      if (flushed != static_cast<size_t>(-1)) break;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 8);
      continue;
    }
    const int error = errno;
    iconv_close(cd);
    throwErrno(error);
  }
  iconv_close(cd);
  out.resize(used / sizeof(typename Out::value_type));
  return out;
}

}  // namespace

std::wstring narrowToWide(std::string_view narrow) {
  if (narrow.empty()) return {};
  return convert<std::wstring>("WCHAR_T", nl_langinfo(CODESET), narrow.data(), narrow.size());
}

std::string wideToNarrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  return convert<std::string>(nl_langinfo(CODESET), "WCHAR_T", wide.data(),
                              wide.size() * sizeof(wchar_t));
}

}  // namespace tavelund
