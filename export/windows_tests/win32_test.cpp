// The Windows seams against the system itself: the registry, the system texts,
// the filter list, and the real Save dialog and message boxes (under Xvfb),
// answered by a thread that finds them and presses their buttons.
#include <ledgra/LedgraInterface.h>

#include "automation/Dispatch.h"
#include "automation/DispatchDriver.h"
#include "automation/win32/ComVariant.h"
#include "interaction/win32/Win32Interaction.h"
#include "registry/ClassRegistry.h"
#include "workbook/WorkbookExport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "SystemDialogs.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

using ledgra::win32::ProgramTitle;
using ledgra::win32::SystemFilter;
using ledgra::win32::Win32Interaction;
using system_dialogs::AnswerWhenShown;
using system_dialogs::Press;
using system_dialogs::TypeAndSave;

TEST(Win32Seams, TheFilterListAndTheProgramTitleInTheSystemsTerms) {
    EXPECT_EQ(SystemFilter("CSV Files(*.csv)|*.csv|All Files (*.*)|*.*||"),
              std::string("CSV Files(*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0\0\0", 46));
    EXPECT_EQ(SystemFilter("A|*.a"), std::string("A\0*.a\0\0", 7));
    EXPECT_EQ(ProgramTitle("C:\\Apps\\Blotter.exe"), "Blotter");
    EXPECT_EQ(ProgramTitle("Z:/x.y/Blotter.v2.exe"), "Blotter.v2");
    EXPECT_EQ(ProgramTitle("NoExtension"), "NoExtension");
}

TEST(Win32Seams, ProgIDExistsOpensTheKeyUnderHkeyClassesRoot) {
    const char* progId = "Ledgra.Win32SeamTest";
    RegDeleteKeyA(HKEY_CLASSES_ROOT, progId);
    CLedgraInterface table(1, 1);
    std::string message;
    EXPECT_EQ(table.ProgIDExists(progId, message), 0);
    EXPECT_EQ(message, ledgra::SystemMessageText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(message.empty());

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, progId, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(table.ProgIDExists("ledgra.win32seamtest", message), 1);
    EXPECT_EQ(message, ledgra::SystemMessageText(ERROR_SUCCESS));
    RegDeleteKeyA(HKEY_CLASSES_ROOT, progId);
}

// Rejects its first requests as a busy application does, and notes whether
// the caller's window had handled its message by the time it answered.
bool g_windowAnswered = false;

class BusyApplication : public ledgra::DispatchObject {
public:
    ledgra::HRESULT Invoke(ledgra::DISPID, ledgra::WORD, ledgra::DispArgs, ledgra::Variant*,
                           ledgra::ExcepInfo*) override {
        if (rejections-- > 0) return RPC_E_SERVERCALL_RETRYLATER;
        windowAnsweredMeanwhile = g_windowAnswered;
        return S_OK;
    }
    int rejections = 4;
    bool windowAnsweredMeanwhile = false;
};

LRESULT CALLBACK NoteMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != WM_APP) return DefWindowProcA(window, message, w, l);
    g_windowAnswered = true;
    return 0;
}

// While a busy application is waited for, the host's windows keep answering.
TEST(Win32Seams, WaitingForABusyApplicationKeepsTheCallersWindowsAnswering) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &NoteMessage;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LedgraBusyWait";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowA("LedgraBusyWait", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    g_windowAnswered = false;
    PostMessageA(window, WM_APP, 0, 0);
    auto* application = new BusyApplication;
    ledgra::COleDispatchDriver driver(application);
    driver.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    EXPECT_TRUE(application->windowAnsweredMeanwhile);
    DestroyWindow(window);
    UnregisterClassA("LedgraBusyWait", windowClass.hInstance);
}

TEST(Win32Variants, BlocksLieInTheSafeArrayAsTheSystemIndexesThem) {
    const ledgra::win32::VariantBridge utf8{CP_UTF8, nullptr, nullptr};
    ledgra::SafeArray block(2, 3);
    for (std::uint32_t r = 0; r < 2; ++r)
        for (std::uint32_t c = 0; c < 3; ++c) block.At(r, c).SetI4(static_cast<std::int32_t>(r * 10 + c));
    block.At(1, 2).SetString(std::string("caf\xC3\xA9 \xE2\x82\xAC"));
    ledgra::Variant value;
    value.SetArray(std::move(block));

    ::VARIANT sent;
    VariantInit(&sent);
    ASSERT_EQ(ledgra::win32::ToVariant(value, sent, utf8), S_OK);
    ASSERT_EQ(sent.vt, ::VT_ARRAY | ::VT_VARIANT);
    for (LONG r = 0; r < 2; ++r) {
        for (LONG c = 0; c < 3; ++c) {
            LONG index[2] = {r, c};
            ::VARIANT element;
            VariantInit(&element);
            ASSERT_EQ(SafeArrayGetElement(sent.parray, index, &element), S_OK);
            if (r == 1 && c == 2)
                EXPECT_EQ(std::wstring(element.bstrVal, SysStringLen(element.bstrVal)), L"caf\u00e9 \u20ac");
            else
                EXPECT_EQ(element.lVal, r * 10 + c);
            VariantClear(&element);
        }
    }
    ledgra::Variant back;
    ASSERT_EQ(ledgra::win32::FromVariant(sent, back, utf8), S_OK);
    ASSERT_NE(back.parray(), nullptr);
    EXPECT_EQ(back.parray()->At(0, 1).lVal(), 1);
    EXPECT_EQ(back.parray()->At(1, 0).lVal(), 10);
    EXPECT_EQ(back.parray()->At(1, 2).bstrVal(), "caf\xC3\xA9 \xE2\x82\xAC");
    VariantClear(&sent);
}

ledgra::Variant Block2x2(ledgra::Variant a, ledgra::Variant b, ledgra::Variant c, ledgra::Variant d) {
    ledgra::SafeArray block(2, 2);
    block.At(0, 0) = std::move(a);
    block.At(0, 1) = std::move(b);
    block.At(1, 0) = std::move(c);
    block.At(1, 1) = std::move(d);
    ledgra::Variant value;
    value.SetArray(std::move(block));
    return value;
}

std::wstring Text(::SAFEARRAY* sa, LONG row, LONG column) {
    LONG index[2] = {row, column};
    ::VARIANT element;
    VariantInit(&element);
    if (SafeArrayGetElement(sa, index, &element) != S_OK || element.vt != ::VT_BSTR) return L"(not a text)";
    std::wstring text(element.bstrVal, SysStringLen(element.bstrVal));
    VariantClear(&element);
    return text;
}

TEST(Win32Variants, AKeptBlockCarriesTheNextBlocksValuesOnly) {
    const ledgra::win32::VariantBridge utf8{CP_UTF8, nullptr, nullptr};
    using ledgra::Variant;
    ::VARIANT sent;
    VariantInit(&sent);
    ASSERT_EQ(ledgra::win32::ToVariant(Block2x2(Variant::String("a longer text"), Variant::String("abcde"),
                                                Variant::I4(5), Variant::String("x")),
                                       sent, utf8),
              S_OK);
    ::SAFEARRAY* first = sent.parray;
    ledgra::win32::KeepSentArray(sent);
    EXPECT_EQ(sent.vt, ::VT_EMPTY);

    // Same shape: the kept array again, each element the new value (shorter,
    // non-ASCII of the kept text's byte count, a text where a number was, a
    // number where a text was).
    const Variant next = Block2x2(Variant::String("short"), Variant::String("caf\xC3\xA9"),
                                  Variant::String("now text"), Variant::R8(2.5));
    ASSERT_EQ(ledgra::win32::ToVariant(next, sent, utf8), S_OK);
    EXPECT_EQ(sent.parray, first);
    EXPECT_EQ(Text(sent.parray, 0, 0), L"short");
    EXPECT_EQ(Text(sent.parray, 0, 1), L"caf\u00e9");
    EXPECT_EQ(Text(sent.parray, 1, 0), L"now text");
    LONG index[2] = {1, 1};
    ::VARIANT number;
    ASSERT_EQ(SafeArrayGetElement(sent.parray, index, &number), S_OK);
    EXPECT_EQ(number.vt, ::VT_R8);
    EXPECT_EQ(number.dblVal, 2.5);

    // The receiving side fills a block it holds of that shape in place.
    Variant back = Block2x2(Variant::I4(1), Variant::String("old"), Variant::I4(3), Variant::String("old"));
    ASSERT_EQ(ledgra::win32::FromVariant(sent, back, utf8), S_OK);
    ASSERT_NE(back.parray(), nullptr);
    EXPECT_EQ(back.parray()->At(0, 0).bstrVal(), "short");
    EXPECT_EQ(back.parray()->At(0, 1).bstrVal(), "caf\xC3\xA9");
    EXPECT_EQ(back.parray()->At(1, 0).bstrVal(), "now text");
    EXPECT_EQ(back.parray()->At(1, 1).vt(), ledgra::VT_R8);
    EXPECT_EQ(back.parray()->At(1, 1).dblVal(), 2.5);
    VariantClear(&sent);
    ledgra::win32::DropSentArray();
}

// Texts that change length from one block to the next (the empty one among
// them, and one too long to be swapped) trade their storage between the
// kept block's elements: each element holds its own text, block after block.
TEST(Win32Variants, KeptTextsOfOtherLengthsStayEachElementsOwn) {
    const ledgra::win32::VariantBridge utf8{CP_UTF8, nullptr, nullptr};
    const char* const texts[] = {"", "Fill", "Kill", "a", "seventeen letters", "Hold", "Sell", ""};
    ::VARIANT sent;
    VariantInit(&sent);
    for (std::uint32_t round = 0; round < 12; ++round) {
        ledgra::SafeArray cells(3, 4);
        auto text = [&](std::uint32_t r, std::uint32_t c) { return texts[(r * 4 + c + round * round) % 8]; };
        for (std::uint32_t r = 0; r < 3; ++r)
            for (std::uint32_t c = 0; c < 4; ++c) cells.At(r, c).SetString(std::string(text(r, c)));
        ledgra::Variant block;
        block.SetArray(std::move(cells));
        ASSERT_EQ(ledgra::win32::ToVariant(block, sent, utf8), S_OK);
        for (std::uint32_t r = 0; r < 3; ++r)
            for (std::uint32_t c = 0; c < 4; ++c) {
                const std::string expected = text(r, c);
                EXPECT_EQ(Text(sent.parray, static_cast<LONG>(r), static_cast<LONG>(c)),
                          std::wstring(expected.begin(), expected.end()))
                    << "block " << round << ", row " << r << ", column " << c;
            }
        ledgra::win32::KeepSentArray(sent);
    }
    ledgra::win32::DropSentArray();
}

// The name typed without an extension gets the default one, or with an empty
// default the first filter's ("trades" with the CSV filter is trades.csv).
TEST(Win32Dialogs, TheSystemsSaveDialogAppendsTheDefaultExtension) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const struct {
        ledgra::SaveDialogRequest request;
        std::string typed, expected;
    } cases[] = {
        {{".txt", "ListLogFile.txt", 6, "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||"},
         "picked",
         "picked.txt"},
        {{"", "", 6, ledgra::workbook::kTextOnlyFilter}, "trades", "trades.csv"},
    };
    for (const auto& c : cases) {
        const std::string typed = std::string(folder) + c.typed;
        std::thread user = AnswerWhenShown("Save As", [typed](HWND dialog) { TypeAndSave(dialog, typed); });
        Win32Interaction ui;
        std::string path;
        const int result = ui.SaveDialog(c.request, path);
        user.join();
        EXPECT_EQ(result, IDOK);
        const std::string expected = std::string(folder) + c.expected;
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, expected.c_str(), -1),
                  CSTR_EQUAL)
            << path;
    }
}

TEST(Win32Dialogs, MessageBoxesCarryTheirCaptionsAndAnswerWithTheButtonPressed) {
    // The host's window: boxes are owned by it and it takes no input meanwhile.
    HWND host = CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    SetForegroundWindow(host);
    SetActiveWindow(host);
    bool owned = false, hostDisabled = false;
    Win32Interaction ui;
    std::thread user = AnswerWhenShown("Server Error", [&](HWND dialog) {
        owned = GetWindow(dialog, GW_OWNER) == host;
        hostDisabled = !IsWindowEnabled(host);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ui.MessageBoxA("Run-time error '1004':\n\nno room", "Server Error", 0x10000), IDOK);
    user.join();
    EXPECT_TRUE(owned);
    EXPECT_TRUE(hostDisabled);
    EXPECT_TRUE(IsWindowEnabled(host));
    DestroyWindow(host);

    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    user = AnswerWhenShown(ProgramTitle(module), [](HWND dialog) { Press(dialog, IDNO); });
    EXPECT_EQ(
        ui.AfxMessageBox("Excel not installed in the system.\nDO you want to save as Text file?", 0x124, 0),
        IDNO);
    user.join();
}

}  // namespace
