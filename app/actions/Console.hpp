#pragma once

#include <iostream>
#include <string>
#include <string_view>

// What the running host tells the person who started it: news on standard output, problems on
// standard error after the program's name.
namespace lumetra::Console {

inline void say(std::string_view line) { std::cout << line << std::endl; }
inline void complain(std::string_view line) { std::cerr << "lumetra-app: " << line << std::endl; }

}  // namespace lumetra::Console
