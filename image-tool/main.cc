// kilnrun-image: builds application images from parts, stamps them onto an
// executable and dumps them.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "core/image_format.h"
#include "image_builder.h"
#include "platform/executable.h"

namespace {

using kilnrun_image::Bytes;

const char kUsage[] =
    "usage:\n"
    "  kilnrun-image build OUTPUT [part...]\n"
    "    --code FILE | --code-hex HEX        code segment\n"
    "    --data FILE | --data-hex HEX        data segment\n"
    "    --literal-data TEXT                 append a string literal object to the data\n"
    "    --import FLAG:SITE:NAME             type 1 record (FLAG 1: relative)\n"
    "    --data-fixup OFFSET                 type 2 record\n"
    "    --code-fixup OFFSET                 type 3 record\n"
    "    --external SITE:FUNCTION:LIBRARY    type 4 record\n"
    "    --literal OFFSET                    type 5 record\n"
    "    --link-hex HEX                      raw bytes appended to the link records\n"
    "    --symbol OFFSET:NAME                symbol table entry\n"
    "    --resource TYPE:ID[:NAME]=FILE      resource record from a file\n"
    "    --resource-text TYPE:ID[:NAME]=TEXT resource record holding TEXT and a 0 byte\n"
    "    --option TEXT                       option record (UTF-8)\n"
    "  kilnrun-image stamp EXECUTABLE IMAGE  append IMAGE and stamp PICKLE\n"
    "  kilnrun-image pickle EXECUTABLE OFFSET LENGTH | unstamp\n"
    "  kilnrun-image dump FILE               list an image or a stamped executable\n"
    "TYPE is a four-character code (CVnx, vers) or a number.\n";

int Fail(const std::string &message) {
  std::cerr << "kilnrun-image: " << message << "\n";
  return 1;
}

bool ParseNumber(const std::string &text, uint32_t *value) {
  try {
    size_t used = 0;
    unsigned long long n = std::stoull(text, &used, 0);
    if (used != text.size() || n > UINT32_MAX) return false;
    *value = static_cast<uint32_t>(n);
    return true;
  } catch (...) {
    return false;
  }
}

bool ParseHex(const std::string &text, Bytes *out) {
  std::string digits;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    uint32_t byte;
    if (!ParseNumber("0x" + digits.substr(i, 2), &byte)) return false;
    out->push_back(static_cast<uint8_t>(byte));
  }
  return true;
}

// Splits "A:B:REST" into at most `count` fields, the last taking the rest.
std::vector<std::string> Fields(const std::string &text, size_t count) {
  std::vector<std::string> out;
  size_t start = 0;
  while (out.size() + 1 < count) {
    size_t colon = text.find(':', start);
    if (colon == std::string::npos) break;
    out.push_back(text.substr(start, colon - start));
    start = colon + 1;
  }
  out.push_back(text.substr(start));
  return out;
}

bool AddResourceArgument(const std::string &argument, bool fromFile, Bytes *resources,
                         std::string *error) {
  size_t equals = argument.find('=');
  if (equals == std::string::npos) {
    *error = "resource needs TYPE:ID[:NAME]=VALUE: " + argument;
    return false;
  }
  std::vector<std::string> head = Fields(argument.substr(0, equals), 3);
  uint32_t type, id;
  if (head.size() < 2 || !kilnrun_image::ParseResourceType(head[0], &type) ||
      !ParseNumber(head[1], &id) || id > 0xFFFF) {
    *error = "bad resource type or id: " + argument;
    return false;
  }
  std::string value = argument.substr(equals + 1);
  Bytes data;
  if (fromFile) {
    if (!corv::platform::ReadWholeFile(value, &data)) {
      *error = "cannot read " + value;
      return false;
    }
  } else {
    data.assign(value.begin(), value.end());
    data.push_back(0);
  }
  kilnrun_image::AddResource(resources, type, static_cast<uint16_t>(id), data,
                             head.size() > 2 ? head[2] : std::string());
  return true;
}

int Build(int argc, char **argv) {
  if (argc < 3) return Fail("build needs an output file\n" + std::string(kUsage));
  kilnrun_image::ImageParts parts;
  std::vector<std::pair<uint32_t, std::string>> symbols;
  std::string error;
  for (int i = 3; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc) return Fail(option + " needs a value");
    std::string value = argv[++i];
    uint32_t number;
    bool ok = true;
    if (option == "--code" || option == "--data") {
      Bytes &segment = option == "--code" ? parts.code : parts.data;
      ok = corv::platform::ReadWholeFile(value, &segment);
    } else if (option == "--code-hex") {
      ok = ParseHex(value, &parts.code);
    } else if (option == "--data-hex") {
      ok = ParseHex(value, &parts.data);
    } else if (option == "--literal-data") {
      kilnrun_image::AddStringLiteral(&parts.data, value, 0x08000100u);
    } else if (option == "--import") {
      std::vector<std::string> f = Fields(value, 3);
      uint32_t flag, site;
      ok = f.size() == 3 && ParseNumber(f[0], &flag) && flag < 256 && ParseNumber(f[1], &site);
      if (ok) kilnrun_image::AddImport(&parts.link, static_cast<uint8_t>(flag), site, f[2]);
    } else if (option == "--data-fixup" || option == "--code-fixup" || option == "--literal") {
      ok = ParseNumber(value, &number);
      uint8_t type = option == "--data-fixup"   ? corv::image::kDataRelocation
                     : option == "--code-fixup" ? corv::image::kCodeRelocation
                                                : corv::image::kStringLiteral;
      if (ok) kilnrun_image::AddFixup(&parts.link, type, number);
    } else if (option == "--external") {
      std::vector<std::string> f = Fields(value, 3);
      ok = f.size() == 3 && ParseNumber(f[0], &number);
      if (ok) kilnrun_image::AddExternal(&parts.link, number, f[1], f[2]);
    } else if (option == "--link-hex") {
      ok = ParseHex(value, &parts.link);
    } else if (option == "--symbol") {
      std::vector<std::string> f = Fields(value, 2);
      ok = f.size() == 2 && ParseNumber(f[0], &number);
      if (ok) symbols.emplace_back(number, f[1]);
    } else if (option == "--resource" || option == "--resource-text") {
      if (!AddResourceArgument(value, option == "--resource", &parts.resources, &error))
        return Fail(error);
    } else if (option == "--option") {
      kilnrun_image::AddOption(&parts.options, value, 0x08000100u);
    } else {
      return Fail("unknown part " + option + "\n" + kUsage);
    }
    if (!ok) return Fail("bad value for " + option + ": " + value);
  }
  if (!symbols.empty()) parts.symbols = kilnrun_image::MakeSymbols(std::move(symbols));
  Bytes image = kilnrun_image::BuildImage(parts);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(image.data()),
            static_cast<std::streamsize>(image.size()));
  if (!out) return Fail(std::string("cannot write ") + argv[2]);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::string command = argc > 1 ? argv[1] : "";
  std::string error;
  if (command == "build") return Build(argc, argv);
  if (command == "stamp" && argc == 4) {
    Bytes image;
    if (!corv::platform::ReadWholeFile(argv[3], &image))
      return Fail(std::string("cannot read ") + argv[3]);
    kilnrun_image::ImageParts parts;
    if (!kilnrun_image::ParseImage(image, &parts, &error)) return Fail(error);
    return kilnrun_image::StampExecutable(argv[2], image, &error) ? 0 : Fail(error);
  }
  if (command == "pickle" && (argc == 5 || (argc == 4 && std::string(argv[3]) == "unstamp"))) {
    uint32_t offset = 0, length = 0;
    bool unstamp = argc == 4;
    if (!unstamp && (!ParseNumber(argv[3], &offset) || !ParseNumber(argv[4], &length)))
      return Fail("bad offset or length");
    return kilnrun_image::WritePickle(argv[2], offset, length, unstamp, &error) ? 0 : Fail(error);
  }
  if (command == "dump" && argc == 3) {
    Bytes image;
    kilnrun_image::ImageParts parts;
    if (!kilnrun_image::ReadImageFile(argv[2], &image, &error) ||
        !kilnrun_image::ParseImage(image, &parts, &error))
      return Fail(error);
    kilnrun_image::DumpImage(parts, std::cout);
    return 0;
  }
  std::cerr << kUsage;
  return 2;
}
