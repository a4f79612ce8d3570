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
typedef int (*ColumnTextRtn)(void* pUserData, int nRow, int nColumn, std::string& strText,
                             int* pnType);

class LEDGRA_API CLedgraInterface {
public:
    CLedgraInterface(int nRows, int nColumns);
    ~CLedgraInterface();

    FILE* FileOpen(std::string path, std::string mode);
    int FileClose();
    FILE* OpenFileForExcel();
    int ProgIDExists(const char* progId, std::string& message);
    void InitColumnTextRtn(ColumnTextRtn fn);
    int getColumnNoForExcel(int row, int column, char* out);
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
