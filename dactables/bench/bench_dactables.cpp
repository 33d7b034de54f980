// Time to produce one table: sampling, conversion, formatting and the writes,
// into the null device so that the disk does not blur the figures.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "options.h"
#include "table_writer.h"
#include "waveform.h"

namespace {

TableOut table;

void produce_table(benchmark::State& state)
{
    const OptionRow* row = option_row(static_cast<int32_t>(state.range(0)));
    const int32_t step = 1;
    for (auto _ : state) {
        FILE* file = std::fopen("/dev/null", "w+b");
        if (file == nullptr) {
            state.SkipWithError("cannot open /dev/null");
            return;
        }
        table_begin(&table, file);
        write_header_top(&table, row->header, N);
        write_header_rest(&table, row->header, step);
        write_entries(&table, row, step);
        if (!table_close(&table)) {
            state.SkipWithError("write failed");
            return;
        }
    }
}

}  // namespace

// Options 1, 5, 7 (step 1) and 9.
BENCHMARK(produce_table)->ArgName("option")->Arg(1)->Arg(5)->Arg(7)->Arg(9)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
