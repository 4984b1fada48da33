// Motion text micro benchmark: reading and writing the numbers of motion rows with the
// program's scanner and formatter, against the C library calls they stand in for.
//
// The data are rows of 183 values as a take of 60 joints has them: four decimals,
// rotations within +-180 degrees and positions up to a few hundred, signs mixed, one
// tab between values. Every figure is per value.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BoMotionText.h"

namespace {

// Enough rows that the branch predictors cannot learn the values by heart.
const int rowCount = 1024;
const int rowWidth = 183;

struct Take {
  std::vector<std::string> rows;  // the text of each row, as read from a file
  std::vector<float> values;      // every value of every row, as parsed
};

const Take &TheTake() {
  static const Take take = [] {
    Take made;
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> angle(-180.0, 180.0);
    std::uniform_real_distribution<double> position(-400.0, 400.0);
    char text[32];
    for (int r = 0; r < rowCount; ++r) {
      std::string row;
      for (int c = 0; c < rowWidth; ++c) {
        double value = c < 3 ? position(random) : angle(random);
        std::snprintf(text, sizeof text, "%.4f\t", value);
        row += text;
        made.values.push_back(std::strtof(text, nullptr));
      }
      row += '\n';
      made.rows.push_back(row);
    }
    return made;
  }();
  return take;
}

void ScanOwn(benchmark::State &state) {
  const Take &take = TheTake();
  float row[rowWidth];
  for (auto _ : state) {
    for (const std::string &text : take.rows) {
      const char *p = text.data();
      const char *end = p + text.size();
      for (int c = 0; c < rowWidth; ++c) p += BoMotionScanFloat(p, end, &row[c]);
      benchmark::DoNotOptimize(row);
    }
  }
  state.SetItemsProcessed(state.iterations() * rowCount * rowWidth);
}

void ScanSscanf(benchmark::State &state) {
  const Take &take = TheTake();
  float row[rowWidth];
  for (auto _ : state) {
    for (const std::string &text : take.rows) {
      const char *p = text.c_str();
      for (int c = 0; c < rowWidth; ++c) {
        int taken = 0;
        if (std::sscanf(p, "%f%n", &row[c], &taken) == 1) p += taken;
      }
      benchmark::DoNotOptimize(row);
    }
  }
  state.SetItemsProcessed(state.iterations() * rowCount * rowWidth);
}

void ScanStrtof(benchmark::State &state) {
  const Take &take = TheTake();
  float row[rowWidth];
  for (auto _ : state) {
    for (const std::string &text : take.rows) {
      const char *p = text.c_str();
      for (int c = 0; c < rowWidth; ++c) {
        char *next;
        row[c] = std::strtof(p, &next);
        p = next;
      }
      benchmark::DoNotOptimize(row);
    }
  }
  state.SetItemsProcessed(state.iterations() * rowCount * rowWidth);
}

void ScanFromChars(benchmark::State &state) {
  const Take &take = TheTake();
  float row[rowWidth];
  for (auto _ : state) {
    for (const std::string &text : take.rows) {
      const char *p = text.data();
      const char *end = p + text.size();
      for (int c = 0; c < rowWidth; ++c) {
        while (*p == '\t') ++p;
        p = std::from_chars(p, end, row[c]).ptr;
      }
      benchmark::DoNotOptimize(row);
    }
  }
  state.SetItemsProcessed(state.iterations() * rowCount * rowWidth);
}

void FormatOwn(benchmark::State &state) {
  const Take &take = TheTake();
  std::vector<char> out(take.values.size() * BO_MOTION_FORMAT_MAX);
  for (auto _ : state) {
    char *o = out.data();
    for (float value : take.values) o += BoMotionFormatFloat(o, value);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)take.values.size());
}

void FormatSnprintf(benchmark::State &state) {
  const Take &take = TheTake();
  std::vector<char> out(take.values.size() * BO_MOTION_FORMAT_MAX + 1);
  for (auto _ : state) {
    char *o = out.data();
    for (float value : take.values)
      o += std::snprintf(o, BO_MOTION_FORMAT_MAX + 1, "% 4.2f\t", (double)value);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)take.values.size());
}

}  // namespace

BENCHMARK(ScanOwn);
BENCHMARK(ScanSscanf);
BENCHMARK(ScanStrtof);
BENCHMARK(ScanFromChars);
BENCHMARK(FormatOwn);
BENCHMARK(FormatSnprintf);

BENCHMARK_MAIN();
