#include <string>

#include <gtest/gtest.h>

#include "serial/csv_table.h"
#include "tests/support/idle_fifo.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

class CsvTableTest : public ::testing::Test {
protected:
    // Writes the bytes to a fresh file and loads it into table.
    bool loadBytes(const std::string& bytes) {
        const auto path = m_directory / ("t" + std::to_string(m_files++) + ".csv");
        EXPECT_TRUE(test::writeFile(path, bytes));
        table.clear();
        return table.load(path.c_str());
    }

    CsvTable table;
    test::ScratchDirectory m_directory;
    int m_files = 0;
};

TEST_F(CsvTableTest, MeasuresRowsColumnsAndTheWidestCellAndNeedsTheFinalLineFeed) {
    ASSERT_TRUE(loadBytes("1,4800,0\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_EQ(table.cellSize(), 5);
    EXPECT_STREQ(table.cell(0, 1), "4800");
    EXPECT_STREQ(table.cell(1, 0), "") << "outside the table reads empty";

    ASSERT_TRUE(loadBytes("1,4800,0"));
    EXPECT_EQ(table.rows(), 0) << "a line without its line feed is not a row";

    ASSERT_TRUE(loadBytes("a\nb,c,d\n\nlast,not,read"));
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_STREQ(table.cell(0, 2), "") << "short lines leave empty cells";
    EXPECT_STREQ(table.cell(1, 2), "d");
}

TEST_F(CsvTableTest, QuotesGroupTextAndDoubledQuotesGiveOne) {
    ASSERT_TRUE(loadBytes("\"a,b\",\"x\"\"y\",\"p\nq\"\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(table.columns(), 3);
    EXPECT_STREQ(table.cell(0, 0), "a,b");
    EXPECT_STREQ(table.cell(0, 1), "x\"y");
    EXPECT_STREQ(table.cell(0, 2), "p\nq");
}

TEST_F(CsvTableTest, ShiftJisCharactersAreDroppedFromTheirCells) {
    ASSERT_TRUE(loadBytes("ab\x82\xA0\x93\xFA" "cd,\xE0\x40x\n"));
    EXPECT_EQ(table.rows(), 1);
    EXPECT_STREQ(table.cell(0, 0), "abcd");
    EXPECT_STREQ(table.cell(0, 1), "x");
    // A lead byte before an invalid second byte goes alone; a comma after it stays.
    ASSERT_TRUE(loadBytes("1\x81" "2,\xFC,3\n"));
    EXPECT_EQ(table.columns(), 3);
    EXPECT_STREQ(table.cell(0, 0), "12");
    EXPECT_STREQ(table.cell(0, 2), "3");
}

TEST_F(CsvTableTest, RefusesMissingOversizedAndNonRegularFilesAndLoadingOverData) {
    EXPECT_FALSE(table.load((m_directory / "missing.csv").c_str()));
    EXPECT_FALSE(table.load(m_directory.path().c_str())) << "a directory";
    const auto fifo = m_directory / "pipe.csv";
    ASSERT_TRUE(test::makeIdleFifo(fifo));
    bool loaded = true;
    EXPECT_TRUE(test::endsWithoutAWriter(fifo, [&] { loaded = table.load(fifo.c_str()); })) << "waited for a writer";
    EXPECT_FALSE(loaded) << "a named pipe";
    EXPECT_FALSE(loadBytes(std::string(CsvTable::kMaxFileBytes, 'a') + "b\n"));
    // Small, but it would describe a table of billions of bytes.
    EXPECT_FALSE(loadBytes(std::string(3000, ',') + "\n" + std::string(3000, 'x') + "\n" + std::string(3000, '\n')));
    EXPECT_EQ(table.rows(), 0);

    ASSERT_TRUE(loadBytes("1,2\n"));
    const auto other = m_directory / "other.csv";
    ASSERT_TRUE(test::writeFile(other, "9\n9\n"));
    EXPECT_FALSE(table.load(other.c_str())) << "a loaded table is not overwritten";
    EXPECT_STREQ(table.cell(0, 1), "2");
}

}  // namespace
}  // namespace tqm
