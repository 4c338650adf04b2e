#include "serial/csv_table.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tqm {

namespace {

constexpr int kQuote = 0x22;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool isLeadByte(int byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
bool isTrailByte(int byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

enum class CsvEvent { Store, EndField, EndLine };

// The bytes of a file with Shift-JIS double-byte characters taken out. A lead byte
// followed by an invalid second byte is dropped alone; the second byte stays.
class CsvByteSource {
public:
    explicit CsvByteSource(std::FILE* file) : m_file(file) {}

    // The next ordinary byte; EOF at the end of the file or past the size limit.
    int next() {
        for (;;) {
            const int byte = read();
            if (byte == EOF || !isLeadByte(byte)) {
                return byte;
            }
            const int second = read();
            if (second == EOF || !isTrailByte(second)) {
                return second;  // an invalid second byte is an ordinary byte (never a lead byte)
            }
        }
    }

    bool tooLarge() const { return m_bytesRead > CsvTable::kMaxFileBytes; }

private:
    int read() {
        if (tooLarge()) {
            return EOF;
        }
        const int byte = std::fgetc(m_file);
        m_bytesRead += byte == EOF ? 0 : 1;
        return tooLarge() ? EOF : byte;
    }

    std::FILE* m_file;
    long m_bytesRead = 0;
};

// Reads the file by the shared rules and hands each stored byte, field end and line
// end to the visitor, which returns false to stop. False when the file is larger
// than the size limit.
template <typename Visitor>
bool scanCsv(std::FILE* file, Visitor&& visit) {
    CsvByteSource source(file);
    bool inQuotes = false;
    bool fieldStart = true;  // no byte of the current field handled yet
    bool keepGoing = true;
    for (int byte = source.next(); byte != EOF && keepGoing; byte = source.next()) {
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
    return !source.tooLarge();
}

}  // namespace

bool CsvTable::measure(std::FILE* file, Shape& shape) {
    std::int32_t fields = 1;
    std::int32_t length = 0;
    const auto note = [&shape, &fields, &length]() {
        shape.columns = std::max(shape.columns, fields);
        shape.longestField = std::max(shape.longestField, length);
    };
    const bool withinLimit = scanCsv(file, [&](CsvEvent event, char) {
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
    return withinLimit;
}

void CsvTable::fill(std::FILE* file) {
    std::int32_t row = 0;
    std::int32_t column = 0;
    std::int32_t position = 0;
    // The file may have changed since it was measured: every store stays inside its
    // cell, and cells past the measured table are not written.
    scanCsv(file, [&](CsvEvent event, char byte) {
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
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "r"));
    if (!file) {
        return false;
    }
    Shape shape;
    if (!measure(file.get(), shape)) {
        return false;
    }
    const std::int32_t cellSize = shape.longestField + 1;
    const std::size_t tableBytes =
        static_cast<std::size_t>(shape.rows) * static_cast<std::size_t>(shape.columns) * static_cast<std::size_t>(cellSize);
    if (tableBytes > kMaxTableBytes) {
        return false;
    }
    std::rewind(file.get());
    m_rows = shape.rows;
    m_columns = shape.columns;
    m_cellSize = cellSize;
    m_cells.assign(tableBytes, '\0');
    if (m_rows > 0) {
        fill(file.get());
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
