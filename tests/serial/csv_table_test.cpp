#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "serial/csv_table.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

class CsvTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tqm-csv-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_directory = pattern;
    }
    void TearDown() override { fs::remove_all(m_directory); }

    // Writes the bytes to a fresh file and loads it into table.
    bool loadBytes(const std::string& bytes) {
        const fs::path path = m_directory / ("t" + std::to_string(m_files++) + ".csv");
        std::ofstream(path, std::ios::binary) << bytes;
        table.clear();
        return table.load(path.c_str());
    }

    CsvTable table;
    fs::path m_directory;
    int m_files = 0;
};

TEST_F(CsvTableTest, MeasuresRowsColumnsAndTheWidestCell) {
    ASSERT_TRUE(loadBytes("1,4800,0\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_EQ(table.cellSize(), 5);
    EXPECT_STREQ(table.cell(0, 0), "1");
    EXPECT_STREQ(table.cell(0, 1), "4800");
    EXPECT_STREQ(table.cell(0, 2), "0");
    EXPECT_STREQ(table.cell(1, 0), "") << "outside the table reads empty";
    EXPECT_STREQ(table.cell(0, 3), "");

    ASSERT_TRUE(loadBytes("1,4800,0"));
    EXPECT_EQ(table.rows(), 0) << "a line without its line feed is not a row";

    ASSERT_TRUE(loadBytes("a\nb,c,d\n\ne,f\nlast,not,read"));
    EXPECT_EQ(table.rows(), 4);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_STREQ(table.cell(0, 0), "a");
    EXPECT_STREQ(table.cell(0, 2), "") << "short lines leave empty cells";
    EXPECT_STREQ(table.cell(1, 2), "d");
    EXPECT_STREQ(table.cell(2, 0), "");
    EXPECT_STREQ(table.cell(3, 1), "f");
    EXPECT_STREQ(table.cell(3, 2), "");
}

TEST_F(CsvTableTest, QuotesGroupTextAndDoubledQuotesGiveOne) {
    ASSERT_TRUE(loadBytes("\"a,b\",\"x\"\"y\",\"p\nq\"\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_STREQ(table.cell(0, 0), "a,b");
    EXPECT_STREQ(table.cell(0, 1), "x\"y");
    EXPECT_STREQ(table.cell(0, 2), "p\nq");
    EXPECT_EQ(table.cellSize(), 4);

    ASSERT_TRUE(loadBytes("\"\"\"a\",b\"c\"\n"));
    EXPECT_STREQ(table.cell(0, 0), "\"a");
    EXPECT_STREQ(table.cell(0, 1), "b\"c");
}

TEST_F(CsvTableTest, ShiftJisCharactersAreDroppedFromTheirCells) {
    ASSERT_TRUE(loadBytes("ab\x82\xA0\x93\xFA" "cd,\xE0\x40x\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_STREQ(table.cell(0, 0), "abcd");
    EXPECT_STREQ(table.cell(0, 1), "x");
    EXPECT_EQ(table.cellSize(), 5);

    // A lead byte before an invalid second byte goes alone; the second byte stays,
    // a comma or line feed included.
    ASSERT_TRUE(loadBytes("1\x81" "2,\x9F\x7F,\xFC,3\x81\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(table.columns(), 4);
    EXPECT_STREQ(table.cell(0, 0), "12");
    EXPECT_STREQ(table.cell(0, 1), "\x7F");
    EXPECT_STREQ(table.cell(0, 2), "");
    EXPECT_STREQ(table.cell(0, 3), "3");
}

TEST_F(CsvTableTest, CarriageReturnsAreOrdinaryBytes) {
    ASSERT_TRUE(loadBytes("7,38400\r\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_STREQ(table.cell(0, 1), "38400\r");
    EXPECT_EQ(std::atoi(table.cell(0, 1)), 38400);
}

TEST_F(CsvTableTest, RefusesToLoadOverDataAndMissingFiles) {
    ASSERT_TRUE(loadBytes("1,2\n"));
    const fs::path other = m_directory / "other.csv";
    std::ofstream(other, std::ios::binary) << "9\n9\n";
    EXPECT_FALSE(table.load(other.c_str()));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_STREQ(table.cell(0, 1), "2");
    table.clear();
    EXPECT_EQ(table.rows(), 0);
    EXPECT_EQ(table.columns(), 0);
    EXPECT_EQ(table.cellSize(), 0);
    EXPECT_TRUE(table.load(other.c_str()));
    EXPECT_EQ(table.rows(), 2);

    CsvTable empty;
    EXPECT_FALSE(empty.load((m_directory / "missing.csv").c_str()));
    EXPECT_FALSE(empty.load(nullptr));
    EXPECT_EQ(empty.rows(), 0);
}

TEST_F(CsvTableTest, RefusesFilesLargerThanAnyValidOne) {
    std::string big(CsvTable::kMaxFileBytes, 'a');
    big.back() = '\n';
    EXPECT_TRUE(loadBytes(big));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_FALSE(loadBytes(big + "b\n"));
    EXPECT_EQ(table.rows(), 0);

    // Small, but it would describe a table of billions of bytes.
    std::string wide = std::string(3000, ',') + "\n" + std::string(3000, 'x') + "\n" + std::string(3000, '\n');
    EXPECT_FALSE(loadBytes(wide));
    EXPECT_EQ(table.rows(), 0);
}

}  // namespace
}  // namespace tqm
