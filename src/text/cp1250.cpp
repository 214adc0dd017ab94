#include "text/cp1250.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "text/error.h"

namespace text {

namespace {

// Code points of the bytes 0x80..0xFF. The five bytes the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) stand for the C1 control of the
// same value, so that no stored byte is ever lost on the way to Unicode.
constexpr std::array<char32_t, 128> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

struct ReverseEntry {
  char32_t codePoint;
  unsigned char byte;
};

// The high half sorted by code point, for a binary search from Unicode back
// to the byte; built at compile time so that nothing is initialised at run time.
constexpr std::array<ReverseEntry, 128> kReverse = [] {
  std::array<ReverseEntry, 128> r{};
  for (size_t i = 0; i < 128; ++i) r[i] = {kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
  std::sort(r.begin(), r.end(),
            [](const ReverseEntry& a, const ReverseEntry& b) { return a.codePoint < b.codePoint; });
  return r;
}();

constexpr std::array<unsigned char, 256> kUpper = [] {
  std::array<unsigned char, 256> u{};
  for (int i = 0; i < 256; ++i) u[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) u[c] = static_cast<unsigned char>(c - 'a' + 'A');
  // š ś ť ž ź
  u[0x9A] = 0x8A;
  u[0x9C] = 0x8C;
  u[0x9D] = 0x8D;
  u[0x9E] = 0x8E;
  u[0x9F] = 0x8F;
  // ł ą ş ľ ż: their capitals sit at irregular places in the code page.
  u[0xB3] = 0xA3;
  u[0xB9] = 0xA5;
  u[0xBA] = 0xAA;
  u[0xBE] = 0xBC;
  u[0xBF] = 0xAF;
  // à..ţ mirror À..Ţ, except ÷ (0xF7), whose place above is ×; ß (0xDF) and
  // ˙ (0xFF) have no capital in the code page and stay.
  for (int c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) u[c] = static_cast<unsigned char>(c - 0x20);
  return u;
}();

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // The code page holds nothing beyond the Basic Multilingual Plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string hex(unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, value);
  return buf;
}

[[noreturn]] void refuseBytes(std::string_view utf8, size_t at) {
  throw mincar::Error(mincar::fill("Text is not valid UTF-8: byte 0x%s at offset %d",
                                   {hex(static_cast<unsigned char>(utf8[at]), 2),
                                    std::to_string(at)}));
}

// Decodes one character at pos, refusing overlong forms, surrogates and
// truncated sequences, and moves pos past it.
char32_t decodeUtf8(std::string_view s, size_t& pos) {
  const size_t start = pos;
  const unsigned char lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length;
  char32_t cp;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
    smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    smallest = 0x10000;
  } else {
    refuseBytes(s, start);
  }
  for (int i = 1; i < length; ++i) {
    if (start + i >= s.size()) refuseBytes(s, start);
    const unsigned char next = static_cast<unsigned char>(s[start + i]);
    if ((next & 0xC0) != 0x80) refuseBytes(s, start + i);
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) refuseBytes(s, start);
  pos = start + length;
  return cp;
}

}  // namespace

std::string toUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() + cp1250.size() / 4);
  for (char c : cp1250) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out += c;
    else
      appendUtf8(out, kHighHalf[b - 0x80]);
  }
  return out;
}

std::string toCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = decodeUtf8(utf8, pos);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    auto it = std::lower_bound(
        kReverse.begin(), kReverse.end(), cp,
        [](const ReverseEntry& e, char32_t value) { return e.codePoint < value; });
    if (it == kReverse.end() || it->codePoint != cp) {
      // The character itself stays out of the message: it could not be shown
      // in the code page the message is written in.
      throw mincar::Error(mincar::fill("Character U+%s cannot be stored in Windows-1250",
                                       {hex(static_cast<unsigned>(cp), 4)}));
    }
    out += static_cast<char>(it->byte);
  }
  return out;
}

std::string pathText(const std::filesystem::path& file) {
  const std::string utf8 = file.string();
  try {
    return toCp1250(utf8);
  } catch (const mincar::Error&) {
  }
  std::string out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[pos]);
    const std::size_t length = std::min<std::size_t>(
        lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1, utf8.size() - pos);
    try {
      out += toCp1250(std::string_view(utf8).substr(pos, length));
    } catch (const mincar::Error&) {
      out += '?';
    }
    pos += length;
  }
  return out;
}

char upperCz(char c) { return static_cast<char>(kUpper[static_cast<unsigned char>(c)]); }

std::string upperCz(std::string_view cp1250) {
  std::string out(cp1250);
  for (char& c : out) c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
  return out;
}

std::string singleLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace text
