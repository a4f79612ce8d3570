#include <ledgra/LedgraInterface.h>

#include <ledgra/LedgraInteraction.h>

#include "object/TextExport.h"
#include "registry/ClassRegistry.h"

#include <cstdio>
#include <utility>

using namespace ledgra;

namespace {

// Bytes getColumnNoForExcel writes at most: two letters, "-2147483648", NUL.
constexpr std::size_t kCellRefSize = 14;

}  // namespace

CLedgraInterface::CLedgraInterface(int nRows, int nColumns)
    : m_pFile(nullptr),
      m_nRows(nRows),
      m_nColumns(nColumns),
      m_pfnColumnText(nullptr),
      m_pUserData(nullptr) {}

// The stream is the caller's to close (FileClose); the callback and user data are borrowed.
CLedgraInterface::~CLedgraInterface() = default;

FILE* CLedgraInterface::FileOpen(std::string path, std::string mode) {
    m_strFileName = std::move(path);
    if (!m_strFileName.empty() && !mode.empty()) m_pFile = std::fopen(m_strFileName.c_str(), mode.c_str());
    return m_pFile;
}

FILE* CLedgraInterface::OpenFileForExcel() {
    if (!m_strFileName.empty() && !m_strMode.empty())
        m_pFile = std::fopen(m_strFileName.c_str(), m_strMode.c_str());
    return m_pFile;
}

int CLedgraInterface::FileClose() {
    if (m_pFile == nullptr) return 0;
    std::fclose(m_pFile);
    m_pFile = nullptr;
    return 1;
}

int CLedgraInterface::ProgIDExists(const char* progId, std::string& message) {
    const long status = ClassRegistry::Instance().Open(progId != nullptr ? progId : "");
    message = SystemMessageText(status);
    return status == 0 ? 1 : 0;
}

void CLedgraInterface::InitColumnTextRtn(ColumnTextRtn fn) { m_pfnColumnText = fn; }

int CLedgraInterface::getColumnNoForExcel(int row, int column, char* out) {
    if (out == nullptr) return 0;
    if (column < 1 || column > 702) {
        out[0] = '\0';
        return 0;
    }
    const int q = (column - 1) / 26;
    const int r = (column - 1) % 26;
    if (q == 0)
        std::snprintf(out, kCellRefSize, "%c%d", static_cast<char>(64 + column), row);
    else
        std::snprintf(out, kCellRefSize, "%c%c%d", static_cast<char>(64 + q), static_cast<char>(65 + r), row);
    return 1;
}

int CLedgraInterface::WriteToTextFile() { return WriteTableAsText(*this); }
