// Makes a data directory with a database of N sessions over ten years up to now.
//   lumetra-bench-data DIR N
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "BenchData.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: lumetra-bench-data DIR N\n";
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  lumetra::Store store((directory / std::string(lumetra::Store::databaseName)).string());
  // Ends an hour ago, so that today has sessions and the last one can be resumed.
  lumetra::bench::fillStore(store, std::atoi(argv[2]), lumetra::Instant::now() - 3600);
  return 0;
}
