#include "cli/Arguments.hpp"

#include <algorithm>

#include "cli/CommandLineTool.hpp"

namespace lumetra {

namespace {

const Arguments::Option* spelled(std::span<const Arguments::Option> options, std::string_view word) {
  const auto it = std::find_if(options.begin(), options.end(), [&](const auto& o) { return o.spelling == word; });
  return it == options.end() ? nullptr : &*it;
}

}  // namespace

Arguments Arguments::scan(std::span<const std::string> words, std::span<const Option> options) {
  using CommandLineTool::UsageError;
  Arguments scanned;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (scanned.beforeDashDash_) {
      scanned.positionals_.push_back(word);
      continue;
    }
    if (word == "--") {
      scanned.beforeDashDash_ = scanned.positionals_.size();
      continue;
    }
    if (const auto equals = word.find('='); word.starts_with("--") && equals != std::string::npos) {
      if (const auto* option = spelled(options, std::string_view(word).substr(0, equals)); option && option->takesValue) {
        scanned.values_.emplace_back(option->canonical, word.substr(equals + 1));
        continue;
      }
    }
    if (const auto* option = spelled(options, word)) {
      if (!option->takesValue) {
        scanned.flags_.emplace(option->canonical);
        continue;
      }
      if (i + 1 >= words.size()) throw UsageError(word + " needs a value.");
      scanned.values_.emplace_back(option->canonical, words[++i]);
      continue;
    }
    if (CommandLineTool::looksLikeOption(word)) throw UsageError("Unknown option " + word + ".");
    scanned.positionals_.push_back(word);
  }
  return scanned;
}

std::optional<std::string> Arguments::value(std::string_view canonical) const {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
    if (it->first == canonical) return it->second;
  }
  return std::nullopt;
}

std::vector<std::string> Arguments::values(std::string_view canonical) const {
  std::vector<std::string> found;
  for (const auto& [name, value] : values_) {
    if (name == canonical) found.push_back(value);
  }
  return found;
}

std::vector<std::string> Arguments::given() const {
  std::set<std::string> names(flags_.begin(), flags_.end());
  for (const auto& [name, value] : values_) names.insert(name);
  names.erase("--json");
  return {names.begin(), names.end()};
}

}  // namespace lumetra
