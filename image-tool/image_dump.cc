// A readable listing of an application image.
#include <iomanip>

#include "core/image_format.h"
#include "image_builder.h"

namespace kilnrun_image {
namespace {

std::string FourChar(uint32_t type) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>(type >> shift);
    if (c < 0x20 || c > 0x7E) return std::to_string(type);
    text += c;
  }
  return text;
}

std::string Printable(const uint8_t *bytes, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    uint8_t c = bytes[i];
    if (c == '\\') {
      text += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

void DumpLink(const Bytes &link, std::ostream &out) {
  size_t p = 0;
  auto name = [&](std::string *text) {
    if (p >= link.size()) return false;
    size_t n = link[p++];
    if (p + n + 1 > link.size()) return false;
    *text = Printable(link.data() + p, n);
    p += n + 1;
    return true;
  };
  while (p < link.size()) {
    size_t at = p;
    uint8_t type = link[p++];
    out << "  @" << at << " ";
    if (type == 1 && p + 5 <= link.size()) {
      unsigned flag = link[p];
      uint32_t site = corv::image::ReadU32(link.data() + p + 1);
      p += 5;
      std::string text;
      if (!name(&text)) break;
      out << "import " << text << " first site " << site << (flag == 1 ? " relative" : " absolute")
          << "\n";
    } else if ((type == 2 || type == 3 || type == 5) && p + 4 <= link.size()) {
      static const char *kinds[] = {"", "", "data fix-up", "code fix-up", "", "string literal"};
      out << kinds[type] << " at " << corv::image::ReadU32(link.data() + p) << "\n";
      p += 4;
    } else if (type == 4 && p + 4 <= link.size()) {
      uint32_t site = corv::image::ReadU32(link.data() + p);
      p += 4;
      std::string function, library;
      if (!name(&function) || !name(&library)) break;
      out << "external " << function << " in " << library << " first site " << site << "\n";
    } else {
      out << "skipped byte " << unsigned{type} << "\n";
    }
  }
}

void DumpResources(const Bytes &rsrc, std::ostream &out) {
  size_t p = 0;
  while (p + 14 <= rsrc.size()) {
    uint32_t type = corv::image::ReadU32(rsrc.data() + p);
    uint16_t id = corv::image::ReadU16(rsrc.data() + p + 4);
    uint32_t nameLength = corv::image::ReadU32(rsrc.data() + p + 6);
    uint32_t dataLength = corv::image::ReadU32(rsrc.data() + p + 10);
    if (p + 14 + uint64_t{dataLength} + nameLength > rsrc.size()) {
      out << "  truncated record at " << p << "\n";
      return;
    }
    const uint8_t *data = rsrc.data() + p + 14;
    out << "  type " << FourChar(type) << " id " << id;
    if (nameLength > 0) out << " name \"" << Printable(data + dataLength, nameLength) << "\"";
    out << " data " << dataLength << " bytes: \""
        << Printable(data, dataLength < 200 ? dataLength : 200) << "\"\n";
    p += 14 + dataLength + nameLength;
  }
}

}  // namespace

void DumpImage(const ImageParts &parts, std::ostream &out) {
  out << "code " << parts.code.size() << " bytes\n";
  out << "data " << parts.data.size() << " bytes\n";
  out << "link " << parts.link.size() << " bytes\n";
  DumpLink(parts.link, out);
  out << "symbols " << parts.symbols.size() << " bytes\n";
  out << "resources " << parts.resources.size() << " bytes\n";
  DumpResources(parts.resources, out);
  out << "options " << parts.options.size() << " bytes\n";
}

}  // namespace kilnrun_image
