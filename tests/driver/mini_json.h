// A small JSON reader for test fixtures (the expected values written by an
// independent descriptor walker).
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace minijson {

struct Value {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<Value> items;
  std::map<std::string, Value> fields;

  const Value& operator[](const std::string& key) const {
    static const Value missing;
    auto it = fields.find(key);
    return it == fields.end() ? missing : it->second;
  }
  const Value& operator[](size_t i) const { return items.at(i); }
  long Int() const { return long(number); }
  size_t size() const { return kind == kArray ? items.size() : fields.size(); }
};

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}
  bool Parse(Value* out) {
    bool ok = ParseValue(out);
    Skip();
    return ok && pos_ == s_.size();
  }

 private:
  void Skip() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool ParseString(std::string* out) {
    if (s_[pos_] != '"') return false;
    ++pos_;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) ++pos_;
      out->push_back(s_[pos_++]);
    }
    if (pos_ >= s_.size()) return false;
    ++pos_;
    return true;
  }
  bool ParseValue(Value* v) {
    Skip();
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') {
      v->kind = Value::kObject;
      ++pos_;
      Skip();
      if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
      for (;;) {
        Skip();
        std::string key;
        if (!ParseString(&key)) return false;
        Skip();
        if (pos_ >= s_.size() || s_[pos_++] != ':') return false;
        if (!ParseValue(&v->fields[key])) return false;
        Skip();
        if (pos_ < s_.size() && s_[pos_] == ',') { ++pos_; continue; }
        if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
        return false;
      }
    }
    if (c == '[') {
      v->kind = Value::kArray;
      ++pos_;
      Skip();
      if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
      for (;;) {
        v->items.emplace_back();
        if (!ParseValue(&v->items.back())) return false;
        Skip();
        if (pos_ < s_.size() && s_[pos_] == ',') { ++pos_; continue; }
        if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
        return false;
      }
    }
    if (c == '"') {
      v->kind = Value::kString;
      return ParseString(&v->text);
    }
    if (s_.compare(pos_, 4, "null") == 0) return pos_ += 4, true;
    if (s_.compare(pos_, 4, "true") == 0) return v->kind = Value::kBool, v->boolean = true, pos_ += 4, true;
    if (s_.compare(pos_, 5, "false") == 0) return v->kind = Value::kBool, pos_ += 5, true;
    char* end = nullptr;
    v->number = std::strtod(s_.c_str() + pos_, &end);
    if (end == s_.c_str() + pos_) return false;
    v->kind = Value::kNumber;
    pos_ = size_t(end - s_.c_str());
    return true;
  }
  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace minijson
