// ledgra_consumer: saves a small table of positions as comma-separated text
// through Ledgra.
//
//   ledgra_consumer          asks for the file with Ledgra's save dialog
//   ledgra_consumer PATH     saves to PATH without asking (for scripts)
//
// Exits with 0 when the table was written.
#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

#include <cstdio>
#include <string>

namespace {

const char* const kCells[3][3] = {
    {"HALV", "100", "12.50"},
    {"ARDM", "-5", "3.25"},
    {"VOVU", "1,000", "Note \"B\""},
};

int CellText(void* user, int row, int column, std::string& text, int* /*type*/) {
    const auto* cells = static_cast<const char* const(*)[3]>(user);
    text = cells[row - 1][column];  // the text export asks for rows 1..3
    return 1;
}

// Answers the save dialog with a fixed path; message boxes go to stderr.
class FixedPath : public ledgra::Interaction {
public:
    explicit FixedPath(std::string path) : path_(std::move(path)) {}
    int SaveDialog(const ledgra::SaveDialogRequest&, std::string& pathOut) override {
        pathOut = path_;
        return ledgra::IDOK;
    }
    int AfxMessageBox(const std::string& text, unsigned, unsigned) override {
        std::fprintf(stderr, "ledgra_consumer: %s\n", text.c_str());
        return ledgra::IDOK;
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned) override {
        std::fprintf(stderr, "ledgra_consumer: %s: %s\n", caption.c_str(), text.c_str());
        return ledgra::IDOK;
    }

private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
    FixedPath fixed(argc > 1 ? argv[1] : "");
    if (argc > 1) ledgra::SetInteraction(&fixed);

    CLedgraInterface table(3, 3);
    table.InitColumnTextRtn(&CellText);
    table.m_pUserData = const_cast<const char*(*)[3]>(kCells);
    const int written = table.WriteToTextFile();
    ledgra::SetInteraction(nullptr);

    std::printf("WriteToTextFile returned %d\n", written);
    return written == 1 ? 0 : 1;
}
