// The registry's text file format.
#include "platform/nt/registry_text.h"

#include <cstdint>
#include <vector>

#include "platform/nt/platform_control.h"

namespace platform {
namespace registry {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kHiveName[] = "HKEY_LOCAL_MACHINE";

std::string QuoteString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool NeedsHexString(const std::vector<uint8_t>& data) {
  for (uint8_t b : data)
    if (b == '\r' || b == '\n' || b == 0) return true;
  return false;
}

void AppendHexList(std::string* out, size_t prefixLength, const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  size_t column = prefixLength;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out->push_back(kDigits[bytes[i] >> 4]);
    out->push_back(kDigits[bytes[i] & 15]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out->push_back(',');
      ++column;
      if (column > 76) {  // wrapped like the registry editor's exports
        out->append("\\\n  ");
        column = 2;
      }
    }
  }
}

std::vector<uint8_t> Utf16LeBytes(const std::string& utf8) {
  const std::u16string w = platform::Widen(utf8);
  std::vector<uint8_t> out;
  out.reserve(w.size() * 2 + 2);
  for (char16_t c : w) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

void RenderValue(std::string* out, const RegValue& v) {
  std::string line = v.name.empty() ? std::string("@") : QuoteString(v.name);
  line.push_back('=');
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[32];
    const uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    line += buf;
  } else if (v.type == REG_SZ && !NeedsHexString(v.data)) {
    line += QuoteString(std::string(v.data.begin(), v.data.end()));
  } else {
    std::vector<uint8_t> bytes = v.data;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) bytes = Utf16LeBytes(std::string(v.data.begin(), v.data.end()));
    if (v.type == REG_BINARY) {
      line += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      line += buf;
    }
    AppendHexList(&line, line.size(), bytes);
  }
  *out += line;
  out->push_back('\n');
}

void RenderKey(std::string* out, const RegKey& key, const std::string& path, bool isHive) {
  if (!isHive || !key.values.empty()) {
    *out += "[" + path + "]\n";
    for (const auto& v : key.values) RenderValue(out, v.second);
    out->push_back('\n');
  }
  for (const auto& sub : key.subkeys) RenderKey(out, *sub.second, path + "\\" + sub.second->name, false);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(0, e);
}

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
  return s.substr(b);
}

// Reads a quoted string starting at s[*pos] == '"' with \\ and \" escapes.
bool ReadQuoted(const std::string& s, size_t* pos, std::string* out, std::string* why) {
  size_t i = *pos + 1;
  out->clear();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) break;
      const char e = s[i + 1];
      if (e != '\\' && e != '"') {
        *why = "unknown escape \\" + std::string(1, e) + " in a quoted string";
        return false;
      }
      out->push_back(e);
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  *why = "unterminated quoted string";
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(const std::string& s, size_t maxDigits, uint32_t* value) {
  if (s.empty() || s.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

bool ParseHexBytes(const std::string& list, std::vector<uint8_t>* out, std::string* why) {
  out->clear();
  size_t i = 0;
  const size_t n = list.size();
  auto skipSpace = [&] {
    while (i < n && (list[i] == ' ' || list[i] == '\t')) ++i;
  };
  skipSpace();
  if (i == n) return true;
  while (true) {
    skipSpace();
    size_t start = i;
    while (i < n && HexDigit(list[i]) >= 0) ++i;
    uint32_t b;
    if (!ParseHexNumber(list.substr(start, i - start), 2, &b)) {
      *why = "bad byte in hex data";
      return false;
    }
    if (out->size() >= kMaxValueData) {
      *why = "value data too long";
      return false;
    }
    out->push_back(static_cast<uint8_t>(b));
    skipSpace();
    if (i == n) return true;
    if (list[i] != ',') {
      *why = "expected ',' in hex data";
      return false;
    }
    ++i;
  }
}

// UTF-16LE bytes of a string value (from hex(1) / hex(2)) to UTF-8, cut at the
// first terminator.
bool Utf16LeToUtf8(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out, std::string* why) {
  if (bytes.size() % 2) {
    *why = "string data of odd length";
    return false;
  }
  std::u16string w;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    w.push_back(c);
  }
  const std::string s = platform::Narrow(w.data(), w.size());
  out->assign(s.begin(), s.end());
  return true;
}

}  // namespace

std::string RenderText(const RegKey& hive) {
  std::string out = std::string(kHeader) + "\n\n";
  RenderKey(&out, hive, kHiveName, true);
  return out;
}

namespace {

// The text's lines, after its byte-order mark (UTF-8) or its UTF-16LE
// encoding is taken off, without line ends.
bool SplitLines(const std::string& rawText, std::vector<std::string>* lines, std::string* error) {
  if (rawText.size() > kMaxTextSize) {
    *error = "registry text too large";
    return false;
  }
  std::string text;
  if (rawText.size() >= 2 && static_cast<uint8_t>(rawText[0]) == 0xFF && static_cast<uint8_t>(rawText[1]) == 0xFE) {
    // UTF-16LE, as the registry editor writes by default.
    if (rawText.size() % 2) {
      *error = "UTF-16 text of odd length";
      return false;
    }
    std::u16string w;
    for (size_t i = 2; i + 1 < rawText.size(); i += 2)
      w.push_back(static_cast<char16_t>(static_cast<uint8_t>(rawText[i]) | (static_cast<uint8_t>(rawText[i + 1]) << 8)));
    text = platform::Narrow(w.data(), w.size());
  } else if (rawText.size() >= 3 && rawText.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = rawText.substr(3);
  } else {
    text = rawText;
  }
  if (text.find('\0') != std::string::npos) {
    *error = "NUL character in registry text";
    return false;
  }
  size_t b = 0;
  while (b <= text.size()) {
    size_t e = text.find('\n', b);
    if (e == std::string::npos) e = text.size();
    std::string line = text.substr(b, e - b);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(std::move(line));
    b = e + 1;
  }
  return true;
}

// A "[KEY]" or "[-KEY]" line: creates or deletes the key; `current` is the
// key values now go to (none after a deletion).
bool ReadKeySection(const std::string& line, RegKey* hive, RegKey** current, std::string* why) {
  if (line.back() != ']') {
    *why = "key section without closing ']'";
    return false;
  }
  std::string path = line.substr(1, line.size() - 2);
  bool remove = false;
  if (!path.empty() && path[0] == '-') {
    remove = true;
    path.erase(0, 1);
  }
  if (!StartsWithNoCase(path, kHiveName) ||
      (path.size() > sizeof(kHiveName) - 1 && path[sizeof(kHiveName) - 1] != '\\')) {
    *why = "only HKEY_LOCAL_MACHINE keys are supported";
    return false;
  }
  std::vector<std::string> parts;
  if (!SplitKeyPath(path, &parts)) {
    *why = "invalid key path";
    return false;
  }
  if (remove) {
    DeleteKey(hive, parts);
    *current = nullptr;
  } else {
    *current = CreateKey(hive, parts, nullptr);
  }
  return true;
}

// The data of a hex value ("hex:" or "hex(T):" and a byte list that may
// continue over lines ending in a backslash; `*i` moves past them).
bool ReadHexData(const std::string& rest, const std::vector<std::string>& lines, size_t* i, ULONG* type,
                 std::vector<uint8_t>* bytes, std::string* why) {
  *type = REG_BINARY;
  size_t colon;
  if (rest.size() > 3 && rest[3] == '(') {
    const size_t close = rest.find(')', 4);
    uint32_t t;
    if (close == std::string::npos || !ParseHexNumber(rest.substr(4, close - 4), 8, &t)) {
      *why = "bad hex(type)";
      return false;
    }
    *type = t;
    colon = close + 1;
  } else {
    colon = 3;
  }
  if (colon >= rest.size() || rest[colon] != ':') {
    *why = "expected ':' after hex";
    return false;
  }
  std::string list = rest.substr(colon + 1);
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    if (*i + 1 >= lines.size()) {
      *why = "hex data continues past the end of the text";
      return false;
    }
    ++*i;
    list += TrimLeft(TrimRight(lines[*i]));
    if (list.size() > kMaxValueData * 4) {
      *why = "value data too long";
      return false;
    }
  }
  if (!ParseHexBytes(list, bytes, why)) return false;
  if (*type == REG_SZ || *type == REG_EXPAND_SZ) {
    std::vector<uint8_t> utf8;
    if (!Utf16LeToUtf8(*bytes, &utf8, why)) return false;
    bytes->swap(utf8);
  }
  return true;
}

// A '"NAME"=DATA' or '@=DATA' line inside a key section.
bool ReadValueLine(const std::string& line, const std::vector<std::string>& lines, size_t* i, RegKey* current,
                   std::string* why) {
  std::string name;
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, &pos, &name, why)) {
    return false;
  }
  if (!ValidValueName(name)) {
    *why = "invalid value name";
    return false;
  }
  std::string rest = TrimLeft(line.substr(pos));
  if (rest.empty() || rest[0] != '=') {
    *why = "expected '=' after the value name";
    return false;
  }
  rest = TrimLeft(rest.substr(1));
  if (rest == "-") {
    current->values.erase(Fold(name));
    return true;
  }
  if (!rest.empty() && rest[0] == '"') {
    std::string value;
    size_t vpos = 0;
    if (!ReadQuoted(rest, &vpos, &value, why)) return false;
    if (!TrimLeft(rest.substr(vpos)).empty()) {
      *why = "text after a string value";
      return false;
    }
    if (value.size() > kMaxValueData) {
      *why = "value data too long";
      return false;
    }
    SetValue(current, name, REG_SZ, std::vector<uint8_t>(value.begin(), value.end()));
    return true;
  }
  if (StartsWithNoCase(rest, "dword:")) {
    uint32_t d;
    if (!ParseHexNumber(rest.substr(6), 8, &d)) {
      *why = "bad dword value";
      return false;
    }
    SetValue(current, name, REG_DWORD,
             {static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8), static_cast<uint8_t>(d >> 16),
              static_cast<uint8_t>(d >> 24)});
    return true;
  }
  if (StartsWithNoCase(rest, "hex")) {
    ULONG type = REG_BINARY;
    std::vector<uint8_t> bytes;
    if (!ReadHexData(rest, lines, i, &type, &bytes, why)) return false;
    SetValue(current, name, type, std::move(bytes));
    return true;
  }
  *why = "unrecognised value data";
  return false;
}

}  // namespace

bool ParseText(const std::string& rawText, RegKey* hive, std::string* error) {
  std::vector<std::string> lines;
  if (!SplitLines(rawText, &lines, error)) return false;
  size_t i = 0;
  while (i < lines.size() && TrimLeft(TrimRight(lines[i])).empty()) ++i;
  if (i == lines.size() || TrimLeft(TrimRight(lines[i])) != kHeader) {
    *error = "missing \"" + std::string(kHeader) + "\" header";
    return false;
  }
  ++i;
  RegKey* current = nullptr;
  for (; i < lines.size(); ++i) {
    const std::string line = TrimLeft(TrimRight(lines[i]));
    if (line.empty() || line[0] == ';') continue;
    const size_t lineNo = i;
    std::string why;
    bool read;
    if (line[0] == '[') {
      read = ReadKeySection(line, hive, &current, &why);
    } else if (line[0] != '"' && line[0] != '@') {
      why = "unexpected text";
      read = false;
    } else if (!current) {
      why = "value outside a key section";
      read = false;
    } else {
      read = ReadValueLine(line, lines, &i, current, &why);
    }
    if (!read) {
      *error = "line " + std::to_string(lineNo + 1) + ": " + why;
      return false;
    }
  }
  return true;
}

}  // namespace registry
}  // namespace platform
