// INI text: parsing into lines, lookups with Windows' rules, edits in place.
#include "platform/win32/ini_text.h"

#include "platform/win32/ansi_case.h"

namespace ini_text {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string Trim(const std::string& s) {
  size_t first = 0, last = s.size();
  while (first < last && IsBlank(s[first])) ++first;
  while (last > first && IsBlank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

// A value in matching double quotes is given without them.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

Line ParseLine(const std::string& raw) {
  Line line;
  // A nul byte ends what the line says, as it ends the string a caller gets.
  const std::string text = Trim(raw.substr(0, raw.find('\0')));
  if (text.empty() || text[0] == ';') return line;
  const size_t close = text.rfind(']');
  if (text[0] == '[' && close != std::string::npos && close > 0) {
    line.kind = Line::kSection;
    line.name = Trim(text.substr(1, close - 1));
    return line;
  }
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return line;  // no entry: ignored
  line.kind = Line::kKey;
  line.name = Trim(text.substr(0, equals));
  line.value = Unquote(Trim(text.substr(equals + 1)));
  return line;
}

std::vector<Line> ParseLines(const std::string& text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t newline = text.find('\n', pos);
    size_t end = newline == std::string::npos ? text.size() : newline;
    const size_t next = newline == std::string::npos ? text.size() : newline + 1;
    if (newline != std::string::npos && end > pos && text[end - 1] == '\r') --end;
    Line line = ParseLine(text.substr(pos, end - pos));
    line.begin = pos;
    line.end = end;
    line.next = next;
    lines.push_back(std::move(line));
    pos = next;
  }
  return lines;
}

}  // namespace

bool Writable(const std::string& section, const char* key, const char* value) {
  auto breaks = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
  const Line header = ParseLine("[" + section + "]");
  if (breaks(section) || header.kind != Line::kSection || header.name.empty() || header.name != Trim(section))
    return false;
  if (!key) return true;
  const std::string k = key, v = value ? value : "";
  const Line entry = ParseLine(k + "=" + v);
  return !breaks(k) && !breaks(v) && entry.kind == Line::kKey && !entry.name.empty() && entry.name == Trim(k);
}

File::File(std::string text, uint32_t codePage)
    : text_(std::move(text)), codePage_(codePage), lines_(ParseLines(text_)) {}

bool File::SameName(const std::string& a, const std::string& b) const {
  return a.size() == b.size() && ansi_case::Fold(codePage_, a) == ansi_case::Fold(codePage_, b);
}

size_t File::FindSection(const std::string& section) const {
  const std::string wanted = Trim(section);
  if (wanted.empty()) return kNone;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Line::kSection && SameName(lines_[i].name, wanted)) return i;
  return kNone;
}

size_t File::BodyEnd(size_t sectionLine) const {
  size_t i = sectionLine + 1;
  while (i < lines_.size() && lines_[i].kind != Line::kSection) ++i;
  return i;
}

size_t File::FindKey(size_t sectionLine, const std::string& key) const {
  const std::string wanted = Trim(key);
  if (wanted.empty()) return kNone;
  const size_t end = BodyEnd(sectionLine);
  for (size_t i = sectionLine + 1; i < end; ++i)
    if (lines_[i].kind == Line::kKey && SameName(lines_[i].name, wanted)) return i;
  return kNone;
}

bool File::Value(const std::string& section, const std::string& key, std::string* value) const {
  const size_t s = FindSection(section);
  const size_t k = s == kNone ? kNone : FindKey(s, key);
  if (k == kNone) return false;
  *value = lines_[k].value;
  return true;
}

bool File::KeyNames(const std::string& section, std::vector<std::string>* names) const {
  const size_t s = FindSection(section);
  if (s == kNone) return false;
  const size_t end = BodyEnd(s);
  for (size_t i = s + 1; i < end; ++i)
    if (lines_[i].kind == Line::kKey && !lines_[i].name.empty()) names->push_back(lines_[i].name);
  return true;
}

std::vector<std::string> File::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.kind == Line::kSection && !line.name.empty()) names.push_back(line.name);
  return names;
}

std::string File::LineBreak() const {
  const size_t newline = text_.find('\n');
  if (newline == std::string::npos) return "\r\n";
  return newline > 0 && text_[newline - 1] == '\r' ? "\r\n" : "\n";
}

void File::Replace(size_t begin, size_t end, const std::string& bytes) {
  text_.replace(begin, end - begin, bytes);
  lines_ = ParseLines(text_);
}

bool File::SetValue(const std::string& section, const std::string& key, const std::string& value) {
  const std::string nl = LineBreak();
  const std::string entry = Trim(key) + "=" + value;
  const bool endsOpen = !text_.empty() && text_.back() != '\n';
  const size_t s = FindSection(section);
  if (s == kNone) {
    Replace(text_.size(), text_.size(), (endsOpen ? nl : "") + "[" + Trim(section) + "]" + nl + entry + nl);
    return true;
  }
  const size_t k = FindKey(s, key);
  if (k != kNone) {
    // The entry keeps the name as the file spells it.
    const std::string line = lines_[k].name + "=" + value;
    if (text_.compare(lines_[k].begin, lines_[k].end - lines_[k].begin, line) == 0) return false;
    Replace(lines_[k].begin, lines_[k].end, line);
    return true;
  }
  // A new entry goes after the section's last line that is not blank.
  size_t last = s;
  const size_t end = BodyEnd(s);
  for (size_t i = s + 1; i < end; ++i)
    if (!Trim(text_.substr(lines_[i].begin, lines_[i].end - lines_[i].begin)).empty()) last = i;
  const size_t at = lines_[last].next;
  const bool lastIsOpen = at == text_.size() && endsOpen;
  Replace(at, at, (lastIsOpen ? nl : "") + entry + nl);
  return true;
}

bool File::DeleteKey(const std::string& section, const std::string& key) {
  const size_t s = FindSection(section);
  const size_t k = s == kNone ? kNone : FindKey(s, key);
  if (k == kNone) return false;
  Replace(lines_[k].begin, lines_[k].next, "");
  return true;
}

bool File::DeleteSection(const std::string& section) {
  const size_t s = FindSection(section);
  if (s == kNone) return false;
  const size_t end = BodyEnd(s);
  Replace(lines_[s].begin, end < lines_.size() ? lines_[end].begin : text_.size(), "");
  return true;
}

}  // namespace ini_text
