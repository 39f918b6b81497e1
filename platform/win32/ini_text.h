// The text of an INI file as the profile calls read and edit it: lines of
// "[section]" headers, "key=value" entries, comments and anything else, in
// the bytes of an ANSI code page. Reading never fails on any bytes; edits
// change only the lines they are about and keep every other byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ini_text {

struct Line {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // section or key name, without surrounding blanks
  std::string value;  // a key's value, without surrounding blanks or matching double quotes
  size_t begin = 0;   // first byte of the line
  size_t end = 0;     // end of its text, before the line break
  size_t next = 0;    // first byte of the next line
};

// Whether a section name, and a key with its value (null for edits that
// delete), can be written so that they read back as written: no line
// breaks, a header that reads as that section, an entry that reads as that
// key. Anything else could not be found again and could hide other entries.
bool Writable(const std::string& section, const char* key, const char* value);

class File {
 public:
  File(std::string text, uint32_t codePage);

  const std::string& Text() const { return text_; }

  // The value of the first `key` in the first `section` (names match
  // without regard to case); false when either is missing.
  bool Value(const std::string& section, const std::string& key, std::string* value) const;
  // The names of the entries of the first `section`; false when it is missing.
  bool KeyNames(const std::string& section, std::vector<std::string>* names) const;
  std::vector<std::string> SectionNames() const;

  // Edits: each returns false when there was nothing to change.
  bool SetValue(const std::string& section, const std::string& key, const std::string& value);
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(const std::string& section);

 private:
  static constexpr size_t kNone = size_t(-1);
  size_t FindSection(const std::string& section) const;
  // The line after the section's last line (its end of body).
  size_t BodyEnd(size_t sectionLine) const;
  size_t FindKey(size_t sectionLine, const std::string& key) const;
  bool SameName(const std::string& a, const std::string& b) const;
  std::string LineBreak() const;
  void Replace(size_t begin, size_t end, const std::string& bytes);

  std::string text_;
  uint32_t codePage_;
  std::vector<Line> lines_;
};

}  // namespace ini_text
