// Data for the benchmarks.
//   lumetra-bench-data DIR N           a data directory with N sessions over ten years up to now
//   lumetra-bench-data --csv FILE N    an import file of N rows over five years, in the export's
//                                      columns, 36 projects, about one row in fifty overlapping
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include "BenchData.hpp"
#include "csv/CSVExporter.hpp"

namespace {

int writeCSV(const std::string& path, int rows) {
  using namespace lumetra;
  std::ofstream out(path, std::ios::binary);
  const Calendar utc("UTC");
  std::mt19937_64 random(11);
  out << "Project,Date,Start,End,Duration,Hours,Entry,Description,Times,Source ID\r\n";
  const double span = 5 * 365.25 * 86400;
  const double step = span / rows;
  // Years before the benchmark stores begin, so that rows overlap each other a little and stored
  // sessions not at all.
  const double first = Instant::now().seconds - 16 * 365.25 * 86400;
  for (int i = 0; i < rows; ++i) {
    double start = first + i * step;
    if (random() % 50 == 0) start -= step / 2;  // reaches into the row before
    const double length = std::min(step * 0.8, 600.0 + static_cast<double>(random() % 3000));
    const auto day = utc.parts(Instant(start));
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.year, day.month, day.day);
    char hours[16];
    std::snprintf(hours, sizeof hours, "%.4f", length / 3600);
    out << "Project " << random() % 36 << ',' << date << ',' << CSVExporter::timestamp(Instant(start), utc) << ','
        << CSVExporter::timestamp(Instant(start + length), utc) << ',' << CSVExporter::formatDuration(length) << ','
        << hours << ",tracked,Work on item " << random() % 100000 << ',' << (i % 10 == 0 ? "approximate" : "real")
        << ",row-" << i << "\r\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--csv") return writeCSV(argv[2], std::atoi(argv[3]));
  if (argc != 3) {
    std::cerr << "usage: lumetra-bench-data DIR N | lumetra-bench-data --csv FILE N\n";
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  lumetra::Store store((directory / std::string(lumetra::Store::databaseName)).string());
  // Ends an hour ago, so that today has sessions and the last one can be resumed.
  lumetra::bench::fillStore(store, std::atoi(argv[2]), lumetra::Instant::now() - 3600);
  return 0;
}
