// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV reader of quemador1-calc beside libcsv (Debian's libcsv-dev), on the same
// file: each reads every record and hands out its fields, and the best CPU time of
// several runs is printed. Used by bench/csv_throughput.sh.
// Usage: csv_readers FILE [runs]

#include "text/csv.h"

#include <csv.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Counts {
    unsigned long long records = 0;
    unsigned long long fields = 0;
    unsigned long long bytes = 0; // of the fields, without separators or quotes
};

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Counts ours(std::FILE* file)
{
    quemador::text::FileSource source(file);
    quemador::text::CsvReader reader(source, ',');
    std::vector<std::string_view> fields;
    Counts counts;
    while (reader.next(fields)) {
        ++counts.records;
        counts.fields += fields.size();
        for (const auto field : fields)
            counts.bytes += field.size();
    }
    return counts;
}

void on_field(void* /*field*/, std::size_t size, void* data)
{
    auto* counts = static_cast<Counts*>(data);
    ++counts->fields;
    counts->bytes += size;
}

void on_record(int /*terminator*/, void* data) { ++static_cast<Counts*>(data)->records; }

Counts libcsv(std::FILE* file)
{
    csv_parser parser{};
    csv_init(&parser, CSV_APPEND_NULL);
    Counts counts;
    std::vector<char> buffer(std::size_t{64} * 1024);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (n == 0)
            break;
        csv_parse(&parser, buffer.data(), n, on_field, on_record, &counts);
    }
    csv_fini(&parser, on_field, on_record, &counts);
    csv_free(&parser);
    return counts;
}

template <typename Read> void measure(const char* name, const char* path, int runs, Read read)
{
    double best = 1e9;
    Counts counts;
    for (int i = 0; i < runs; ++i) {
        std::FILE* file = std::fopen(path, "rb");
        if (file == nullptr)
            return;
        const double start = cpu_seconds();
        counts = read(file);
        best = std::min(best, cpu_seconds() - start);
        std::fclose(file);
    }
    std::printf("%-22s %6.3f s CPU  %llu records, %llu fields, %llu bytes\n", name, best,
                counts.records, counts.fields, counts.bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: csv_readers FILE [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // Alternately, so that a busy moment of a shared machine does not favour either.
    for (int round = 0; round < 2; ++round) {
        measure("quemador1-calc reader", argv[1], runs, ours);
        measure("libcsv", argv[1], runs, libcsv);
    }
    return 0;
}
