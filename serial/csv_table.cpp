#include "serial/csv_table.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/regular_file.h"

namespace tqm {

namespace {

constexpr int kQuote = 0x22;
constexpr int kEnd = -1;

bool isLeadByte(int byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
bool isTrailByte(int byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

enum class CsvEvent { Store, EndField, EndLine };

// The bytes of a file with Shift-JIS double-byte characters taken out. A lead byte
// followed by an invalid second byte is dropped alone; the second byte stays.
class CsvByteSource {
public:
    explicit CsvByteSource(std::string_view bytes) : m_bytes(bytes) {}

    // The next ordinary byte; kEnd at the end of the file.
    int next() {
        for (;;) {
            const int byte = read();
            if (byte == kEnd || !isLeadByte(byte)) {
                return byte;
            }
            const int second = read();
            if (second == kEnd || !isTrailByte(second)) {
                return second;  // an invalid second byte is an ordinary byte (never a lead byte)
            }
        }
    }

private:
    int read() { return m_next < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_next++]) : kEnd; }

    std::string_view m_bytes;
    std::size_t m_next = 0;
};

// Reads the file's bytes by the shared rules and hands each stored byte, field end
// and line end to the visitor, which returns false to stop.
template <typename Visitor>
void scanCsv(std::string_view bytes, Visitor&& visit) {
    CsvByteSource source(bytes);
    bool inQuotes = false;
    bool fieldStart = true;  // no byte of the current field handled yet
    bool keepGoing = true;
    for (int byte = source.next(); byte != kEnd && keepGoing; byte = source.next()) {
        if (byte == kQuote) {
            inQuotes = !inQuotes;
            // An opening quote other than the field's first byte is kept: "" inside quotes gives ".
            if (inQuotes && !fieldStart) {
                keepGoing = visit(CsvEvent::Store, static_cast<char>(byte));
            }
            fieldStart = false;
        } else if (!inQuotes && (byte == ',' || byte == '\n')) {
            keepGoing = visit(byte == ',' ? CsvEvent::EndField : CsvEvent::EndLine, '\0');
            fieldStart = true;
        } else {
            keepGoing = visit(CsvEvent::Store, static_cast<char>(byte));
            fieldStart = false;
        }
    }
}

}  // namespace

void CsvTable::measure(std::string_view bytes, Shape& shape) {
    std::int32_t fields = 1;
    std::int32_t length = 0;
    const auto note = [&shape, &fields, &length]() {
        shape.columns = std::max(shape.columns, fields);
        shape.longestField = std::max(shape.longestField, length);
    };
    scanCsv(bytes, [&](CsvEvent event, char) {
        if (event == CsvEvent::Store) {
            ++length;
            note();
            return true;
        }
        note();
        length = 0;
        if (event == CsvEvent::EndField) {
            ++fields;
        } else {
            ++shape.rows;
            fields = 1;
        }
        return true;
    });
}

void CsvTable::fill(std::string_view bytes) {
    std::int32_t row = 0;
    std::int32_t column = 0;
    std::int32_t position = 0;
    // Every store stays inside its cell, and cells past the measured table are not written.
    scanCsv(bytes, [&](CsvEvent event, char byte) {
        if (event == CsvEvent::Store) {
            if (column < m_columns && position < m_cellSize - 1) {
                m_cells[(static_cast<std::size_t>(row) * m_columns + column) * m_cellSize + position] = byte;
                ++position;
            }
            return true;
        }
        position = 0;
        if (event == CsvEvent::EndField) {
            ++column;
            return true;
        }
        column = 0;
        ++row;
        return row < m_rows;
    });
}

bool CsvTable::load(const char* path) {
    if (m_rows != 0 || path == nullptr) {
        return false;
    }
    std::string bytes;
    if (readRegularFile(path, kMaxFileBytes, bytes) != FileRead::Read) {
        return false;
    }
    Shape shape;
    measure(bytes, shape);
    const std::int32_t cellSize = shape.longestField + 1;
    const std::size_t tableBytes =
        static_cast<std::size_t>(shape.rows) * static_cast<std::size_t>(shape.columns) * static_cast<std::size_t>(cellSize);
    if (tableBytes > kMaxTableBytes) {
        return false;
    }
    m_rows = shape.rows;
    m_columns = shape.columns;
    m_cellSize = cellSize;
    m_cells.assign(tableBytes, '\0');
    if (m_rows > 0) {
        fill(bytes);
    }
    return true;
}

void CsvTable::clear() {
    m_rows = 0;
    m_columns = 0;
    m_cellSize = 0;
    m_cells.clear();
    m_cells.shrink_to_fit();
}

const char* CsvTable::cell(std::int32_t row, std::int32_t column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns) {
        return "";
    }
    return &m_cells[(static_cast<std::size_t>(row) * m_columns + column) * m_cellSize];
}

}  // namespace tqm
