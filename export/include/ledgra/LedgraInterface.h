// Ledgra's export object: one table (rows x columns, cell texts pulled through
// a callback) to be saved as comma-separated text or as a workbook.
#pragma once

#include <ledgra/LedgraExport.h>

#include <cstdio>
#include <string>
#include <vector>

// Supplies the text of one cell. pUserData is CLedgraInterface::m_pUserData;
// the callback assigns strText and, for the header row of a workbook, stores the
// column's type code in *pnType. The result is ignored.
typedef int (*ColumnTextRtn)(void* pUserData, int nRow, int nColumn, std::string& strText, int* pnType);

class LEDGRA_API CLedgraInterface {
public:
    // Counts are taken as they come; zero or negative counts ask for no cells.
    CLedgraInterface(int nRows, int nColumns);
    // Leaves m_pFile open: the caller closes it with FileClose.
    ~CLedgraInterface();

    // Stores path in m_strFileName; when path and mode are both non-empty, opens
    // it into m_pFile (null on failure; an open stream is replaced, not closed).
    // Returns m_pFile.
    FILE* FileOpen(std::string path, std::string mode);
    // 1 when a stream was closed, 0 when none was open.
    int FileClose();
    // FileOpen's open step with m_strFileName and m_strMode.
    FILE* OpenFileForExcel();
    // 1 when a class is registered under progId (0 for null), else 0; message
    // receives the system text of the status either way.
    int ProgIDExists(const char* progId, std::string& message);
    void InitColumnTextRtn(ColumnTextRtn fn);
    // Writes the reference of 1-based row and column ("A1", "AB12", "ZZ-3")
    // into out, at most 14 bytes with the terminating zero, and returns 1.
    // Columns outside 1..702 have no letter name: out gets "" and the result is 0.
    int getColumnNoForExcel(int row, int column, char* out);
    // Asks for a file and writes rows 1..m_nRows as comma-separated lines ended
    // by CR LF. 1 when written; 0 on cancel, open or write failure, or when the
    // table has cells and no callback is installed.
    int WriteToTextFile();
    int WriteToExcel();

    // The member order is part of the library's interface.
    std::string m_strFileName;
    FILE* m_pFile;
    int m_nRows;
    int m_nColumns;
    std::string m_strMode;
    std::vector<int> m_arrColumnTypes;
    ColumnTextRtn m_pfnColumnText;
    void* m_pUserData;
};
