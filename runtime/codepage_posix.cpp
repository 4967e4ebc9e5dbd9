#include <iconv.h>

#include <cerrno>

#include "runtime/codepage_system.h"
#include "runtime/failure.h"
#include "runtime/texts.h"

namespace velkaro::runtime::system {

namespace {

constexpr const char* kFileCodePage = "CP936";

class Converter {
 public:
  // Without a converter no text can be matched or shown: that is a failure,
  // never "no match".
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw SystemFailure(texts::ConvertAction(kFileCodePage), LastSystemError());
    }
  }
  ~Converter() { ::iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`, calling on_invalid(in) at each byte it cannot convert,
  // which must consume at least one byte or return false to give up.
  template <typename OnInvalid>
  bool Convert(std::string_view in, std::string& out, OnInvalid on_invalid) {
    char buffer[256];
    while (!in.empty()) {
      char* source = const_cast<char*>(in.data());
      std::size_t source_left = in.size();
      char* target = buffer;
      std::size_t target_left = sizeof buffer;
      const std::size_t result = ::iconv(cd_, &source, &source_left, &target, &target_left);
      const int error = errno;
      out.append(buffer, static_cast<std::size_t>(target - buffer));
      in.remove_prefix(in.size() - source_left);
      if (result == static_cast<std::size_t>(-1) && error != E2BIG) {
        if (!on_invalid(in)) {
          return false;
        }
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> EncodeStrict(std::string_view text) {
  std::string bytes;
  Converter encoder(kFileCodePage, "UTF-8");
  if (!encoder.Convert(text, bytes, [](std::string_view) { return false; })) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> DecodeStrict(std::string_view bytes) {
  std::string text;
  Converter decoder("UTF-8", kFileCodePage);
  if (!decoder.Convert(bytes, text, [](std::string_view) { return false; })) {
    return std::nullopt;
  }
  return text;
}

}  // namespace velkaro::runtime::system
