// The export object's own operations and the class registry behind ProgIDExists.
#include <ledgra/LedgraInterface.h>

#include "registry/ClassRegistry.h"
#include "test_support/TestTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

using ledgra::ClassRegistry;
using ledgra::test::TempDir;

TEST(ExportObject, NewObjectHoldsCountsAndNothingElse) {
    CLedgraInterface table(-4, 7);
    EXPECT_EQ(table.m_strFileName, "");
    EXPECT_EQ(table.m_pFile, nullptr);
    EXPECT_EQ(table.m_nRows, -4);
    EXPECT_EQ(table.m_nColumns, 7);
    EXPECT_EQ(table.m_strMode, "");
    EXPECT_TRUE(table.m_arrColumnTypes.empty());
    EXPECT_EQ(table.m_pfnColumnText, nullptr);
    EXPECT_EQ(table.m_pUserData, nullptr);
}

TEST(ExportObject, FileOpenStoresThePathAndFileCloseClosesOnce) {
    TempDir dir;
    CLedgraInterface table(1, 1);
    const std::string path = dir / "out.txt";
    FILE* f = table.FileOpen(path, "w+");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(table.m_pFile, f);
    EXPECT_EQ(table.m_strFileName, path);
    EXPECT_TRUE(std::filesystem::exists(path));

    // Empty path or mode: the path is stored, nothing is opened, the open stream stays.
    EXPECT_EQ(table.FileOpen("", "w"), f);
    EXPECT_EQ(table.m_strFileName, "");
    EXPECT_EQ(table.FileOpen(dir / "other.txt", ""), f);
    EXPECT_EQ(table.m_strFileName, dir / "other.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "other.txt"));

    EXPECT_EQ(table.FileClose(), 1);
    EXPECT_EQ(table.m_pFile, nullptr);
    EXPECT_EQ(table.FileClose(), 0);
    EXPECT_EQ(table.FileOpen("", "w"), nullptr);
}

TEST(ExportObject, FileOpenOnAnUnopenablePathKeepsThePath) {
    TempDir dir;
    CLedgraInterface table(1, 1);
    const std::string path = dir / "no-such-folder/out.txt";
    EXPECT_EQ(table.FileOpen(path, "w+"), nullptr);
    EXPECT_EQ(table.m_pFile, nullptr);
    EXPECT_EQ(table.m_strFileName, path);
}

TEST(ExportObject, OpenFileForExcelUsesTheStoredPathAndMode) {
    TempDir dir;
    CLedgraInterface table(1, 1);
    table.m_strFileName = dir / "book.xls";
    EXPECT_EQ(table.OpenFileForExcel(), nullptr);  // no mode yet
    EXPECT_FALSE(std::filesystem::exists(table.m_strFileName));
    table.m_strMode = "w";
    FILE* f = table.OpenFileForExcel();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(table.m_pFile, f);
    EXPECT_TRUE(std::filesystem::exists(table.m_strFileName));
    EXPECT_EQ(table.FileClose(), 1);
}

namespace {
std::string CellRef(int row, int column, int* result = nullptr) {
    // Exactly the documented 14 bytes, so AddressSanitizer sees any write past them.
    auto out = std::make_unique<char[]>(14);
    std::memset(out.get(), 'x', 14);
    CLedgraInterface table(0, 0);
    const int r = table.getColumnNoForExcel(row, column, out.get());
    if (result != nullptr) *result = r;
    return std::string(out.get(), strnlen(out.get(), 14));
}
}  // namespace

TEST(ExportObject, CellReferencesForColumnsOneTo702) {
    EXPECT_EQ(CellRef(1, 1), "A1");
    EXPECT_EQ(CellRef(7, 26), "Z7");
    EXPECT_EQ(CellRef(1, 27), "AA1");
    EXPECT_EQ(CellRef(12, 28), "AB12");
    EXPECT_EQ(CellRef(3, 52), "AZ3");
    EXPECT_EQ(CellRef(3, 53), "BA3");
    EXPECT_EQ(CellRef(65535, 256), "IV65535");
    EXPECT_EQ(CellRef(5, 702), "ZZ5");
    EXPECT_EQ(CellRef(0, 1), "A0");
    EXPECT_EQ(CellRef(-3, 2), "B-3");
    int result = 0;
    EXPECT_EQ(CellRef(INT_MIN, 702, &result), "ZZ-2147483648");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(CellRef(INT_MAX, 1), "A2147483647");
}

TEST(ExportObject, ColumnsWithoutALetterNameGiveAnEmptyReferenceAndZero) {
    for (int column : {0, -1, 703, 704, INT_MIN, INT_MAX}) {
        int result = 1;
        EXPECT_EQ(CellRef(1, column, &result), "") << column;
        EXPECT_EQ(result, 0) << column;
    }
    CLedgraInterface table(0, 0);
    EXPECT_EQ(table.getColumnNoForExcel(1, 1, nullptr), 0);
}

class Registry : public ::testing::Test {
protected:
    void TearDown() override { ClassRegistry::Instance().Unregister("Ledgra.TestApplication"); }
};

TEST_F(Registry, ProgIDExistsAnswersFromTheRegistryWithTheSystemTexts) {
    CLedgraInterface table(3, 2);
    std::string message = "stale";
    EXPECT_EQ(table.ProgIDExists("Ledgra.TestApplication", message), 0);
    EXPECT_EQ(message, "The system cannot find the file specified.");

    int created = 0;
    ClassRegistry::Instance().Register("Ledgra.TestApplication", [&created] {
        ++created;
        return static_cast<ledgra::IDispatch*>(nullptr);
    });
    EXPECT_EQ(table.ProgIDExists("Ledgra.TestApplication", message), 1);
    EXPECT_EQ(message, "The operation completed successfully.");
    // Registry keys ignore case, as on Windows.
    EXPECT_EQ(table.ProgIDExists("LEDGRA.testapplication", message), 1);
    EXPECT_EQ(created, 0) << "testing a ProgID never creates the object";

    EXPECT_EQ(table.ProgIDExists(nullptr, message), 0);
    EXPECT_EQ(message, "The system cannot find the file specified.");
    EXPECT_EQ(table.ProgIDExists("", message), 0);
    EXPECT_EQ(table.m_strFileName, "");
    EXPECT_EQ(table.m_nRows, 3);
}

TEST_F(Registry, FactoriesAreFoundByProgIdAndGoneAfterUnregister) {
    static int object;
    ledgra::IDispatch* const marker = reinterpret_cast<ledgra::IDispatch*>(&object);
    ClassRegistry::Instance().Register("Ledgra.TestApplication", [marker] { return marker; });
    auto factory = ClassRegistry::Instance().Factory("ledgra.TESTAPPLICATION");
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory(), marker);
    ClassRegistry::Instance().Unregister("Ledgra.TestApplication");
    EXPECT_FALSE(ClassRegistry::Instance().Factory("Ledgra.TestApplication"));
    EXPECT_EQ(ClassRegistry::Instance().Open("Ledgra.TestApplication"), 2);
}
