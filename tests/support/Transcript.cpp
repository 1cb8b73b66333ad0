#include "support/Transcript.hpp"

#include <fstream>
#include <utility>
#include <stdexcept>

namespace lumetra::test {

namespace {

std::vector<std::string> shellWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (const char c : line) {
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      inWord = true;
    } else if (c == ' ') {
      if (inWord) words.push_back(std::exchange(word, {}));
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

std::vector<TranscriptStep> readTranscript(const std::filesystem::path& file) {
  std::ifstream input(file);
  if (!input) throw std::runtime_error("can't read " + file.string());
  std::vector<TranscriptStep> steps;
  int number = 0;
  for (std::string line; std::getline(input, line);) {
    ++number;
    if (line.empty() || line.starts_with("#")) continue;
    const std::string text = line.size() > 2 ? line.substr(2) : "";
    if (line.starts_with("$ ")) {
      steps.push_back({file.filename().string() + ":" + std::to_string(number), shellWords(text)});
      continue;
    }
    if (steps.empty()) throw std::runtime_error(file.string() + ":" + std::to_string(number) + ": no command yet");
    TranscriptStep& step = steps.back();
    if (line.starts_with("> ")) {
      step.request = text;
    } else if (line.starts_with("<")) {
      step.reply = step.reply ? *step.reply + "\n" + text : text;
    } else if (line.starts_with("|")) {
      step.out += text + "\n";
    } else if (line.starts_with("!")) {
      step.err += text + "\n";
    } else if (line.starts_with("? ")) {
      const std::string program = step.words.front();
      const std::string help = "Run “" + program + " help” for usage.\n";
      // A second "?" line goes on the same message, before the pointer to help.
      if (step.status == 2 && step.err.ends_with(help)) {
        step.err.insert(step.err.size() - help.size(), text + "\n");
      } else {
        step.err += program + ": " + text + "\n" + help;
      }
      step.status = 2;
    } else if (line.starts_with("[") && line.ends_with("]")) {
      step.status = std::stoi(line.substr(1, line.size() - 2));
    } else {
      throw std::runtime_error(file.string() + ":" + std::to_string(number) + ": not a transcript line");
    }
  }
  return steps;
}

bool globMatch(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= text.size(); ++skip) {
      if (globMatch(pattern.substr(1), text.substr(skip))) return true;
      if (skip < text.size() && text[skip] == '\n') break;
    }
    return false;
  }
  if (text.empty()) return false;
  if (pattern.front() == '?' ? text.front() == '\n' : pattern.front() != text.front()) return false;
  return globMatch(pattern.substr(1), text.substr(1));
}

}  // namespace lumetra::test
