#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumetra {

// The words of one command line, scanned: positional words, option values under their
// canonical names, and flags. Both programs scan with it, each against its own options.
class Arguments {
 public:
  // One spelling of an option, the name it is known by, and whether it takes a value.
  struct Option {
    std::string_view spelling;
    std::string_view canonical;
    bool takesValue;
  };

  // Scans the words from left to right: "--" ends the options; "--name=value" and "name value"
  // give a value option its value (a later one replaces an earlier one, but every one is kept
  // for options given several times); flags are a set ("-h" is "--help"). Throws UsageError
  // ("-d needs a value.", "Unknown option --x.").
  static Arguments scan(std::span<const std::string> words, std::span<const Option> options);

  [[nodiscard]] const std::vector<std::string>& positionals() const { return positionals_; }
  // How many positional words came before a "--", when one was given.
  [[nodiscard]] std::optional<std::size_t> positionalsBeforeDashDash() const { return beforeDashDash_; }
  // The last value given for the option, or nothing.
  [[nodiscard]] std::optional<std::string> value(std::string_view canonical) const;
  // Every value given for the option, in order.
  [[nodiscard]] std::vector<std::string> values(std::string_view canonical) const;
  [[nodiscard]] bool has(std::string_view flag) const { return flags_.contains(flag); }
  // The canonical names of every value option and flag given, sorted, without "--json".
  [[nodiscard]] std::vector<std::string> given() const;

 private:
  std::vector<std::string> positionals_;
  std::optional<std::size_t> beforeDashDash_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::set<std::string, std::less<>> flags_;
};

}  // namespace lumetra
