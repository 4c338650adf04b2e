#include <cstring>

#include "fuzz/fuzz_file.h"
#include "serial/csv_table.h"

// Loads arbitrary bytes as a table and reads every cell: the reader must stay
// within its cells whatever the quotes, line ends and double-byte characters say.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = tqm::fuzz::writeFuzzFile("input.csv", tqm::fuzz::bytesOf(data, size));
    tqm::CsvTable table;
    if (file.empty() || !table.load(file.c_str())) return 0;
    std::size_t total = 0;
    for (std::int32_t row = -1; row <= table.rows(); ++row) {
        for (std::int32_t column = -1; column <= table.columns(); ++column) total += std::strlen(table.cell(row, column));
    }
    if (total > static_cast<std::size_t>(table.rows()) * table.columns() * table.cellSize()) __builtin_trap();
    return 0;
}
