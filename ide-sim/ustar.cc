// The ustar header: 512 bytes of fixed fields, octal numbers, a checksum
// over the header with its own field taken as spaces.
#include "ustar.h"

#include <algorithm>
#include <cstring>

namespace idesim {
namespace {

constexpr size_t kBlock = 512;

void Put(char *field, size_t width, const std::string &text) {
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

// Octal digits filling the field but its last byte, which stays NUL.
void PutOctal(char *field, size_t width, unsigned long long value) {
  for (size_t i = width - 1; i-- > 0; value >>= 3) field[i] = static_cast<char>('0' + (value & 7));
}

std::string Header(const UstarEntry &entry) {
  char header[kBlock] = {};
  std::string name = entry.name, prefix;
  if (name.size() > 100) {
    size_t slash = name.rfind('/', name.size() - 2);
    while (slash != std::string::npos && (slash > 155 || name.size() - slash - 1 > 100))
      slash = slash == 0 ? std::string::npos : name.rfind('/', slash - 1);
    if (slash != std::string::npos) {
      prefix = name.substr(0, slash);
      name = name.substr(slash + 1);
    }
  }
  bool folder = !entry.name.empty() && entry.name.back() == '/';
  Put(header, 100, name);
  PutOctal(header + 100, 8, static_cast<unsigned>(entry.mode));
  PutOctal(header + 108, 8, 0);
  PutOctal(header + 116, 8, 0);
  PutOctal(header + 124, 12, folder ? 0 : entry.content.size());
  PutOctal(header + 136, 12, 0);
  header[156] = folder ? '5' : '0';
  Put(header + 257, 6, std::string("ustar", 6));
  Put(header + 263, 2, "00");
  Put(header + 345, 155, prefix);
  std::memset(header + 148, ' ', 8);
  unsigned sum = 0;
  for (unsigned char c : header) sum += c;
  PutOctal(header + 148, 7, sum);  // six digits, NUL, then a space
  header[155] = ' ';
  return std::string(header, kBlock);
}

}  // namespace

std::string UstarArchive(const std::vector<UstarEntry> &entries) {
  std::string out;
  for (const UstarEntry &entry : entries) {
    out += Header(entry);
    out += entry.content;
    out.append((kBlock - entry.content.size() % kBlock) % kBlock, '\0');
  }
  out.append(2 * kBlock, '\0');
  return out;
}

}  // namespace idesim
