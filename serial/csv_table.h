#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tqm {

// A small comma-separated text file read into a rectangular table of text cells, in
// two passes: the first measures rows, columns and the widest cell, the second fills
// cells of that size. Double quotes group text (commas and line feeds inside are
// ordinary characters); Shift-JIS double-byte characters are skipped.
class CsvTable final {
public:
    // No valid file of this program comes near this size; larger files are refused.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;
    // A small file can still describe a huge table (many lines, one wide line, one
    // long field); such tables are refused too.
    static constexpr std::size_t kMaxTableBytes = 4 * 1024 * 1024;

    CsvTable() = default;

    // Blocks on reading the file (never on a pipe or device: only a regular file is
    // read). False when the table already holds rows, or the file is missing, not a
    // regular file, unreadable, larger than kMaxFileBytes or describes a table larger
    // than kMaxTableBytes; the table then stays as it was. A file without a complete
    // line loads as 0 rows.
    bool load(const char* path);
    // Frees every cell; the table is empty again.
    void clear();

    std::int32_t rows() const { return m_rows; }
    std::int32_t columns() const { return m_columns; }
    // The widest stored field + 1 for the terminator.
    std::int32_t cellSize() const { return m_cellSize; }
    // The NUL-terminated text of a cell; "" for a cell a line did not fill and for
    // indices outside the table.
    const char* cell(std::int32_t row, std::int32_t column) const;

private:
    struct Shape {
        std::int32_t rows = 0;
        std::int32_t columns = 0;
        std::int32_t longestField = 0;
    };

    static void measure(std::string_view bytes, Shape& shape);
    void fill(std::string_view bytes);

    std::int32_t m_rows = 0;
    std::int32_t m_columns = 0;
    std::int32_t m_cellSize = 0;
    std::vector<char> m_cells;  // rows x columns cells of m_cellSize bytes, zero-filled
};

}  // namespace tqm
