// The dialog templates as the program carries them, read back from its own
// resources: caption, size, font, styles, and every control's id, class,
// text, rectangle and styles in template order.
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstring>
#include <sstream>

#include <gmock/gmock.h>

#include "resource.h"

using testing::ElementsAre;

namespace {

// Reads a DLGTEMPLATEEX resource into one line for the dialog, one for
// its font and one per control.
class TemplateReader {
public:
    explicit TemplateReader(int id)
    {
        HINSTANCE instance = ::GetModuleHandleA(nullptr);
        HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
        if (found != nullptr) {
            bytes_ = static_cast<const unsigned char*>(::LockResource(::LoadResource(instance, found)));
            size_ = ::SizeofResource(instance, found);
        }
    }

    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        if (bytes_ == nullptr || Word() != 1 || Word() != 0xFFFF) return lines;
        Dword();  // help id
        const DWORD ex_style = Dword();
        const DWORD style = Dword();
        const int items = Word();
        std::ostringstream dialog;
        dialog << Rect() << " style " << std::hex << style << " ex " << ex_style << std::dec;
        SzOrOrd();  // menu
        SzOrOrd();  // class
        dialog << " \"" << Sz() << "\"";
        lines.push_back(dialog.str());
        std::ostringstream font;
        const int points = Word();
        const int weight = Word();
        Word();  // italic, charset
        font << "font " << points << " " << weight << " \"" << Sz() << "\"";
        lines.push_back(font.str());
        for (int i = 0; i < items; ++i) {
            pos_ = (pos_ + 3) & ~size_t{3};
            Dword();  // help id
            const DWORD item_ex = Dword();
            const DWORD item_style = Dword();
            const std::string rect = Rect();
            const auto item_id = static_cast<int>(Dword());
            std::ostringstream item;
            item << item_id << " " << ClassName() << " \"" << SzOrOrd() << "\" " << rect << " style "
                 << std::hex << item_style << " ex " << item_ex;
            pos_ += Word();  // creation data
            lines.push_back(item.str());
        }
        return lines;
    }

private:
    unsigned Word()
    {
        WORD w = 0;
        if (pos_ + 2 <= size_) std::memcpy(&w, bytes_ + pos_, 2);
        pos_ += 2;
        return w;
    }
    DWORD Dword()
    {
        const DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    std::string Rect()
    {
        std::ostringstream rect;
        for (int i = 0; i < 4; ++i)
            rect << (i ? "," : "") << static_cast<short>(Word());
        return rect.str();
    }
    std::string Sz()
    {
        std::string text;
        for (unsigned c = Word(); c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    // A string, or an ordinal written as #n (0x80 button, 0x81 edit,
    // 0x82 static, 0x83 list box, 0x85 combo box).
    std::string SzOrOrd()
    {
        const unsigned first = Word();
        if (first == 0) return std::string();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        pos_ -= 2;
        return Sz();
    }
    // A class name; windres writes it in capitals, and window classes are
    // found without regard to case anyway.
    std::string ClassName()
    {
        std::string name = SzOrOrd();
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }

    const unsigned char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

std::string Hex(DWORD value)
{
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

TEST(TemplatesTest, MainWindowIsTemplate102)
{
    const DWORD tab = kChild | WS_TABSTOP;
    EXPECT_THAT(
        TemplateReader(IDD_ARDMON_DIALOG).Lines(),
        ElementsAre(
            "0,0,278,121 style " +
                Hex(DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                    WS_SYSMENU) +
                " ex " + Hex(WS_EX_APPWINDOW) + " \"Halvo Launcher\"",
            "font 8 0 \"MS Shell Dlg\"",
            "1 #128 \"&Load\" 165,23,50,16 style " + Hex(tab | BS_DEFPUSHBUTTON) + " ex 0",
            "2 #128 \"Cancel\" 196,0,6,6 style " + Hex(WS_CHILD | WS_TABSTOP) + " ex 0",
            "1002 #128 \"&View\" 163,66,50,14 style " + Hex(tab) + " ex 0",
            "1000 #133 \"\" 13,26,137,86 style " + Hex(tab | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL) + " ex 0",
            "-1 #130 \"Load from\" 15,14,33,8 style " + Hex(kChild | WS_GROUP | SS_LEFT) + " ex 0",
            "1005 #129 \"\" 11,65,133,14 style " + Hex(tab | ES_READONLY | ES_AUTOHSCROLL | WS_BORDER) +
                " ex 0",
            "-1 #130 \"Current Environment\" 13,53,107,8 style " + Hex(kChild | WS_GROUP | SS_LEFT) + " ex 0",
            "1006 #128 \"V&iew\" 221,23,44,16 style " + Hex(tab) + " ex 0",
            "1007 #128 \"&Start Trader\" 80,91,46,21 style " + Hex(tab | BS_FLAT | BS_ICON) + " ex 0",
            "-1 #128 \"Workstation\" 3,0,271,118 style " + Hex(kChild | BS_GROUPBOX) + " ex 0",
            "-1 #128 \"\" 9,9,259,41 style " + Hex(kChild | BS_GROUPBOX) + " ex 0",
            "1008 #128 \"&Launch Halvo Trader\" 126,91,74,21 style " + Hex(tab | BS_FLAT) + " ex 0"));
}

TEST(TemplatesTest, ViewerIsTemplate130)
{
    const DWORD tab = kChild | WS_TABSTOP;
    EXPECT_THAT(
        TemplateReader(IDD_INIVIEW).Lines(),
        ElementsAre("0,0,456,272 style " +
                        Hex(DS_SETFONT | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME) +
                        " ex 0 \"View Environment\"",
                    "font 8 400 \"MS Shell Dlg\"",
                    "1 #128 \"&Get Keys\" 51,242,45,14 style " + Hex(tab | BS_DEFPUSHBUTTON) + " ex 0",
                    "2 #128 \"Cancel\" 444,4,7,6 style " + Hex(WS_CHILD | WS_TABSTOP) + " ex 0",
                    "1003 #131 \"\" 6,25,143,214 style " +
                        Hex(tab | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_BORDER) +
                        " ex 0",
                    "1004 SYSLISTVIEW32 \"\" 154,24,295,232 style " +
                        Hex(tab | LVS_REPORT | LVS_ALIGNLEFT | WS_BORDER) + " ex 0",
                    "-1 #128 \"\" 1,17,451,246 style " + Hex(kChild | BS_GROUPBOX) + " ex 0",
                    "1005 #129 \"\" 12,3,119,14 style " +
                        Hex(tab | ES_READONLY | ES_AUTOHSCROLL | WS_BORDER) + " ex 0"));
}

}  // namespace
