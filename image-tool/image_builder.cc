// Building and stamping application images.
#include "image_builder.h"

#include <cstring>
#include <fstream>

#include "core/image_format.h"
#include "platform/executable.h"

namespace kilnrun_image {
namespace {

void Append(Bytes *out, const void *bytes, size_t length) {
  const auto *p = static_cast<const uint8_t *>(bytes);
  out->insert(out->end(), p, p + length);
}

void AppendU32(Bytes *out, uint32_t value) {
  PutU32(out, out->size(), value);
}

void AppendName(Bytes *out, const std::string &name) {
  out->push_back(static_cast<uint8_t>(name.size()));
  Append(out, name.data(), name.size());
  out->push_back(0);
}

bool WriteAt(const std::string &path, uint64_t offset, const void *bytes, size_t length) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) return false;
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(static_cast<const char *>(bytes), static_cast<std::streamsize>(length));
  return static_cast<bool>(file);
}

}  // namespace

void PutU32(Bytes *bytes, size_t offset, uint32_t value) {
  if (bytes->size() < offset + 4) bytes->resize(offset + 4);
  corv::image::WriteU32(bytes->data() + offset, value);
}

void AddImport(Bytes *link, uint8_t relativeFlag, uint32_t firstSite, const std::string &name) {
  link->push_back(corv::image::kImport);
  link->push_back(relativeFlag);
  AppendU32(link, firstSite);
  AppendName(link, name);
}

void AddFixup(Bytes *link, uint8_t type, uint32_t codeOffset) {
  link->push_back(type);
  AppendU32(link, codeOffset);
}

void AddExternal(Bytes *link, uint32_t firstSite, const std::string &function,
                 const std::string &library) {
  link->push_back(corv::image::kExternal);
  AppendU32(link, firstSite);
  AppendName(link, function);
  AppendName(link, library);
}

void AddResource(Bytes *resources, uint32_t type, uint16_t id, const Bytes &data,
                 const std::string &name) {
  AppendU32(resources, type);
  resources->push_back(static_cast<uint8_t>(id));
  resources->push_back(static_cast<uint8_t>(id >> 8));
  AppendU32(resources, name.empty() ? 0 : static_cast<uint32_t>(name.size() + 1));
  AppendU32(resources, static_cast<uint32_t>(data.size()));
  Append(resources, data.data(), data.size());
  if (!name.empty()) Append(resources, name.c_str(), name.size() + 1);
}

void AddOption(Bytes *options, const std::string &text, uint32_t encoding) {
  options->push_back(0);
  AppendU32(options, static_cast<uint32_t>(text.size()));
  if (text.empty()) return;
  Append(options, text.data(), text.size());
  AppendU32(options, encoding);
}

Bytes MakeSymbols(std::vector<std::pair<uint32_t, std::string>> symbols) {
  Bytes out;
  AppendU32(&out, static_cast<uint32_t>(symbols.size()));
  Bytes pool;
  for (const auto &[offset, name] : symbols) {
    AppendU32(&out, offset);
    AppendU32(&out, static_cast<uint32_t>(pool.size()));
    Append(&pool, name.c_str(), name.size() + 1);
  }
  Append(&out, pool.data(), pool.size());
  return out;
}

uint32_t AddStringLiteral(Bytes *data, const std::string &text, uint32_t encoding) {
  uint32_t offset = static_cast<uint32_t>(data->size());
  uint32_t length = static_cast<uint32_t>(text.size());
  AppendU32(data, 1);           // reference count
  AppendU32(data, 0);           // text pointer, set at load
  AppendU32(data, length + 5);  // inline block size
  AppendU32(data, length);
  AppendU32(data, encoding);
  data->push_back(static_cast<uint8_t>(length < 255 ? length : 255));
  Append(data, text.data(), text.size());
  AppendU32(data, 0);
  return offset;
}

bool ParseResourceType(const std::string &text, uint32_t *type) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    *type = static_cast<uint32_t>(std::stoul(text));
    return true;
  }
  if (text.size() != 4) return false;
  *type = uint32_t{static_cast<uint8_t>(text[0])} << 24 |
          uint32_t{static_cast<uint8_t>(text[1])} << 16 |
          uint32_t{static_cast<uint8_t>(text[2])} << 8 | uint32_t{static_cast<uint8_t>(text[3])};
  return true;
}

Bytes BuildImage(const ImageParts &parts) {
  Bytes out(corv::image::kMagic, corv::image::kMagic + sizeof corv::image::kMagic);
  for (const Bytes *segment :
       {&parts.code, &parts.data, &parts.link, &parts.symbols, &parts.resources, &parts.options}) {
    AppendU32(&out, static_cast<uint32_t>(segment->size()));
    Append(&out, segment->data(), segment->size());
  }
  return out;
}

bool ParseImage(const Bytes &image, ImageParts *parts, std::string *error) {
  if (image.size() < 6 || !corv::image::IsMagic(image.data())) {
    *error = "no image magic \"112358\"";
    return false;
  }
  size_t position = 6;
  for (Bytes *segment : {&parts->code, &parts->data, &parts->link, &parts->symbols,
                         &parts->resources, &parts->options}) {
    if (image.size() - position < 4) {
      *error = "image ends inside a segment length";
      return false;
    }
    uint32_t length = corv::image::ReadU32(image.data() + position);
    position += 4;
    if (image.size() - position < length) {
      *error = "image ends inside a segment";
      return false;
    }
    segment->assign(image.begin() + static_cast<ptrdiff_t>(position),
                    image.begin() + static_cast<ptrdiff_t>(position + length));
    position += length;
  }
  return true;
}

bool WritePickle(const std::string &executable, uint32_t offset, uint32_t length, bool unstamp,
                 std::string *error) {
  corv::platform::FileSection section;
  if (!corv::platform::FindSection(executable, corv::image::kPickleSection, &section) ||
      section.size < corv::image::kPickleSize) {
    *error = executable + " has no PICKLE section";
    return false;
  }
  uint8_t pickle[8] = {'P', 'I', 'C', 'K', 'L', 'E', 0, 0};
  if (!unstamp) {
    corv::image::WriteU32(pickle, offset);
    corv::image::WriteU32(pickle + 4, length);
  }
  if (!WriteAt(executable, section.offset, pickle, sizeof pickle)) {
    *error = "cannot write " + executable;
    return false;
  }
  return true;
}

bool StampExecutable(const std::string &executable, const Bytes &image, std::string *error) {
  corv::platform::FileSection section;
  if (!corv::platform::FindSection(executable, corv::image::kPickleSection, &section) ||
      section.size < corv::image::kPickleSize) {
    *error = executable + " has no PICKLE section";
    return false;
  }
  Bytes file;
  if (!corv::platform::ReadWholeFile(executable, &file)) {
    *error = "cannot read " + executable;
    return false;
  }
  // An image stamped before is dropped first, so stamping twice is harmless.
  const uint8_t *pickle = file.data() + section.offset;
  if (std::memcmp(pickle, "PICK", 4) != 0) {
    uint64_t offset = corv::image::ReadU32(pickle);
    uint64_t length = corv::image::ReadU32(pickle + 4);
    if (offset + 6 + length == file.size() && corv::image::IsMagic(file.data() + offset))
      file.resize(offset);
  }
  uint64_t offset = file.size();
  if (offset + image.size() > UINT32_MAX) {
    *error = "the executable is too large to stamp";
    return false;
  }
  corv::image::WriteU32(file.data() + section.offset, static_cast<uint32_t>(offset));
  corv::image::WriteU32(file.data() + section.offset + 4, static_cast<uint32_t>(image.size() - 6));
  file.insert(file.end(), image.begin(), image.end());
  // Rewritten in place so that the file keeps its permission bits.
  std::ofstream out(executable, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    *error = "cannot write " + executable;
    return false;
  }
  return true;
}

bool ReadImageFile(const std::string &path, Bytes *image, std::string *error) {
  Bytes file;
  if (!corv::platform::ReadWholeFile(path, &file)) {
    *error = "cannot read " + path;
    return false;
  }
  if (file.size() >= 6 && corv::image::IsMagic(file.data())) {
    *image = std::move(file);
    return true;
  }
  corv::platform::FileSection section;
  if (!corv::platform::FindSection(path, corv::image::kPickleSection, &section) ||
      section.size < corv::image::kPickleSize || section.offset + 8 > file.size()) {
    *error = path + " is neither an image nor an executable with a PICKLE section";
    return false;
  }
  const uint8_t *pickle = file.data() + section.offset;
  if (std::memcmp(pickle, "PICK", 4) == 0) {
    *error = path + " is not stamped";
    return false;
  }
  uint64_t offset = corv::image::ReadU32(pickle);
  uint64_t length = corv::image::ReadU32(pickle + 4);
  if (offset + 6 + length > file.size()) {
    *error = "the stamped image lies beyond the end of " + path;
    return false;
  }
  image->assign(file.begin() + static_cast<ptrdiff_t>(offset),
                file.begin() + static_cast<ptrdiff_t>(offset + 6 + length));
  return true;
}

}  // namespace kilnrun_image
