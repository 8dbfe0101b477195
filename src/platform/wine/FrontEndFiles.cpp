#include "platform/wine/FrontEndFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include <yaml-cpp/yaml.h>

#include <nlohmann/json.hpp>

namespace pgl {

namespace {

// Steam's binary KeyValues: a type byte, a name ending in NUL, then the value.
class BinaryKeyValues {
 public:
  explicit BinaryKeyValues(std::string_view bytes) : bytes_(bytes) {}

  // Reads the entries of one block up to its end byte, collecting the shortcuts found at the
  // depth where Steam keeps them ("shortcuts" > "<n>" > values).
  bool Block(std::size_t depth, std::vector<SteamShortcut>& out) {
    if (depth > kMaxKeyValueDepth) return false;
    SteamShortcut shortcut;
    bool hasId = false;
    for (;;) {
      if (at_ >= bytes_.size()) return depth == 0;  // the outermost end byte may be left off
      const auto type = static_cast<unsigned char>(bytes_[at_++]);
      if (type == 0x08) break;
      std::string name;
      if (!Name(name)) return false;
      switch (type) {
        case 0x00:
          if (!Block(depth + 1, out)) return false;
          break;
        case 0x01: {
          std::string value;
          if (!Name(value)) return false;
          if (depth == 2 && IsName(name, "appname")) shortcut.name = value;
          break;
        }
        case 0x02:
          if (at_ + 4 > bytes_.size()) return false;
          if (depth == 2 && IsName(name, "appid")) {
            shortcut.appid = 0;
            for (int k = 3; k >= 0; --k)
              shortcut.appid =
                  (shortcut.appid << 8) |
                  static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(k)]);
            hasId = true;
          }
          at_ += 4;
          break;
        case 0x03:  // a float
          at_ += 4;
          break;
        case 0x07:  // a 64-bit number
          at_ += 8;
          break;
        default:
          return false;
      }
    }
    if (depth == 2 && hasId) out.push_back(std::move(shortcut));
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  bool Name(std::string& name) {
    const std::size_t end = bytes_.find('\0', at_);
    if (end == std::string_view::npos) return false;
    name.assign(bytes_.substr(at_, end - at_));
    at_ = end + 1;
    return true;
  }
  static bool IsName(const std::string& name, std::string_view lower) {
    return name.size() == lower.size() &&
           std::equal(name.begin(), name.end(), lower.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::uint32_t> SteamShortcutId(const std::string& folder) {
  if (folder.size() < 9 || folder.size() > 10 ||
      !std::all_of(folder.begin(), folder.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const unsigned long long value = std::stoull(folder);
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::string LutrisGameName(std::string file) {
  file = file.substr(0, file.size() - 4);
  const auto dash = file.rfind('-');
  if (dash != std::string::npos && dash + 1 < file.size() &&
      std::all_of(file.begin() + static_cast<long>(dash) + 1, file.end(),
                  [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    file = file.substr(0, dash);
  bool start = true;
  for (char& c : file) {
    if (c == '-' || c == '_') {
      c = ' ';
      start = true;
    } else if (start) {
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      start = false;
    }
  }
  return file;
}

std::optional<std::vector<SteamShortcut>> ReadSteamShortcuts(std::string_view bytes) {
  // The whole file is one block with a final end byte after it.
  BinaryKeyValues reader(bytes);
  std::vector<SteamShortcut> shortcuts;
  if (!reader.Block(0, shortcuts)) return std::nullopt;
  return shortcuts;
}

namespace {

// Hands each string member of every object to its visitor as the parser meets it, and keeps
// nothing else: memory stays in proportion to the nesting, and the text is read once.
class JsonStringMembers final : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit JsonStringMembers(const JsonMemberVisitor& visit) : visit_(visit) {}

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool string(string_t& value) override {
    if (!objects_.empty() && inObject_.back() && key_) {
      if (!visit_(objects_.back(), *key_, value)) stopped_ = true;
    }
    return Value();
  }
  bool key(string_t& key) override {
    key_ = std::move(key);
    return true;
  }
  bool start_object(std::size_t) override {
    if (inObject_.size() >= kMaxJsonDepth) return false;
    key_.reset();
    objects_.push_back(++objectCount_);
    inObject_.push_back(true);
    return true;
  }
  bool end_object() override {
    objects_.pop_back();
    inObject_.pop_back();
    return Value();
  }
  bool start_array(std::size_t) override {
    if (inObject_.size() >= kMaxJsonDepth) return false;
    key_.reset();
    inObject_.push_back(false);
    return true;
  }
  bool end_array() override {
    inObject_.pop_back();
    return Value();
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
  bool Stopped() const { return stopped_; }

 private:
  // A value ends the member it belonged to; a visitor that has what it wanted stops the read.
  bool Value() {
    key_.reset();
    return !stopped_;
  }

  const JsonMemberVisitor& visit_;
  std::vector<std::size_t> objects_;  // the serial numbers of the objects around the place
  std::vector<bool> inObject_;        // per level: an object (true) or an array
  std::optional<std::string> key_;
  std::size_t objectCount_ = 0;
  bool stopped_ = false;
};

}  // namespace

bool ReadJsonStringMembers(std::string_view text, const JsonMemberVisitor& visit) {
  JsonStringMembers reader(visit);
  const bool whole = nlohmann::json::sax_parse(text.begin(), text.end(), &reader);
  return whole || reader.Stopped();
}

std::optional<std::map<std::string, std::string>> HeroicListedGames(std::string_view text,
                                                                    std::string_view idKey) {
  std::map<std::size_t, std::pair<std::string, std::string>> objects;  // id, title
  const bool ok = ReadJsonStringMembers(
      text, [&](std::size_t object, const std::string& key, const std::string& value) {
        if (key == idKey) objects[object].first = value;
        if (key == "title") objects[object].second = value;
        return true;
      });
  if (!ok) return std::nullopt;
  std::map<std::string, std::string> games;
  for (const auto& [object, game] : objects)
    if (!game.first.empty()) games[game.first] = game.second.empty() ? game.first : game.second;
  return games;
}

std::vector<std::string> JsonStringValues(std::string_view text, std::string_view key) {
  std::vector<std::string> values;
  const bool ok = ReadJsonStringMembers(
      text, [&](std::size_t, const std::string& name, const std::string& value) {
        if (name == key) values.push_back(value);
        return true;
      });
  if (!ok) values.clear();
  return values;
}

std::optional<std::string> JsonStringValue(std::string_view text, std::string_view key) {
  std::optional<std::string> found;
  const bool ok = ReadJsonStringMembers(
      text, [&](std::size_t, const std::string& name, const std::string& value) {
        if (name != key) return true;
        found = value;
        return false;
      });
  return ok ? found : std::nullopt;
}

bool ReadKeyValues(std::string_view text, const KeyValueVisitor& visit) {
  std::vector<std::string> path;  // the keys of the blocks around the current place
  std::optional<std::string> pendingKey;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '{') {
      if (!pendingKey || path.size() >= kMaxKeyValueDepth) return false;
      path.push_back(std::move(*pendingKey));
      pendingKey.reset();
      ++i;
    } else if (c == '}') {
      if (path.empty() || pendingKey) return false;
      path.pop_back();
      ++i;
    } else if (c == '"') {
      std::string s;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        s += text[i];
      }
      if (i >= text.size()) return false;
      ++i;
      if (!pendingKey) {
        pendingKey = std::move(s);
      } else {
        visit(path, *pendingKey, s);
        pendingKey.reset();
      }
    } else {
      return false;
    }
  }
  return path.empty() && !pendingKey;
}

std::string Trim(std::string s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

namespace {

// Whether a YAML text stays within kMaxYamlDepth levels: no line indented by more than two
// columns a level, and no more brackets open at once. yaml-cpp descends recursively.
bool YamlNestingBounded(std::string_view text) {
  std::size_t open = 0;
  bool lineStart = true;
  std::size_t indent = 0;
  char quote = 0;
  for (const char c : text) {
    if (c == '\n') {
      lineStart = true;
      indent = 0;
      quote = 0;
      continue;
    }
    if (lineStart && (c == ' ' || c == '-')) {
      if (++indent > 2 * kMaxYamlDepth) return false;
      continue;
    }
    lineStart = false;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[' || c == '{') {
      if (++open > kMaxYamlDepth) return false;
    } else if ((c == ']' || c == '}') && open > 0) {
      --open;
    }
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::optional<std::string>>> ReadYamlScalars(
    std::string_view text, const std::vector<YamlPath>& paths) {
  if (!YamlNestingBounded(text)) return std::nullopt;
  std::vector<std::optional<std::string>> out(paths.size());
  try {
    const YAML::Node root = YAML::Load(std::string(text));
    for (std::size_t i = 0; i < paths.size(); ++i) {
      YAML::Node node = root;
      bool found = true;
      for (const std::string& key : paths[i]) {
        if (!node.IsMap()) {
          found = false;
          break;
        }
        // Looked up without adding the key to the mapping.
        const YAML::Node& constNode = node;
        const YAML::Node next = constNode[key];
        if (!next.IsDefined()) {
          found = false;
          break;
        }
        node.reset(next);
      }
      if (found && node.IsScalar()) out[i] = node.Scalar();
    }
  } catch (const YAML::Exception&) {
    return std::nullopt;
  }
  return out;
}

bool IsFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace pgl
