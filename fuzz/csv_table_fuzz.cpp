#include <cstring>

#include "fuzz/fuzz_file.h"
#include "serial/csv_table.h"

// Loads arbitrary bytes as a table and reads every cell: the reader must stay
// within its cells whatever the quotes, line ends and double-byte characters say.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tqm::fuzz::FuzzFile file(data, size);
    if (!file.ok()) return 0;
    tqm::CsvTable table;
    if (!table.load(file.path())) return 0;
    std::size_t total = 0;
    for (std::int32_t row = -1; row <= table.rows(); ++row) {
        for (std::int32_t column = -1; column <= table.columns(); ++column) {
            total += std::strlen(table.cell(row, column));
        }
    }
    if (total > static_cast<std::size_t>(table.rows()) * table.columns() * table.cellSize()) __builtin_trap();
    return 0;
}
