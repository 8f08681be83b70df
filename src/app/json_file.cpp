#include "app/json_file.h"

namespace app {

std::streamsize JsonFile::Buffer::xsputn(const char* text, std::streamsize size) {
  std::string why;
  if (file_.write(std::string_view(text, static_cast<std::size_t>(size)), &why)) return size;
  if (failure_.empty()) failure_ = why;
  return 0;
}

JsonFile::Buffer::int_type JsonFile::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

int JsonFile::Buffer::sync() {
  std::string why;
  if (file_.flush(&why)) return 0;
  if (failure_.empty()) failure_ = why;
  return -1;
}

bool JsonFile::open(platform::ds::ResolvedPath file, std::string* why) { return file_.open(std::move(file), why); }

bool JsonFile::close(std::string* why) {
  if (!stream_.flush()) {
    *why = buffer_.failure();
    file_.abandon();
    return false;
  }
  return file_.finish(false, why) && file_.commit(why);
}

}  // namespace app
