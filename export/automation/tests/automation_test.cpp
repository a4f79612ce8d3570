// The automation layer: variants and their references, the checked
// InvokeHelper, object creation through the class registry, OLE counting and
// the two error reports.
#include "automation/DispatchDriver.h"
#include "automation/ErrorReport.h"
#include "automation/ExcelOperations.h"
#include "automation/Ole.h"
#include "registry/ClassRegistry.h"
#include "test_support/ScriptedInteraction.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace ledgra;

namespace {

// Counts references and records the last request; answers as scripted.
class Probe : public DispatchObject {
public:
    static Probe* Make() { return new Probe(); }
    unsigned long Refs() {
        AddRef();
        return Release();
    }
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override {
        ++calls;
        lastDispId = dispId;
        lastFlags = flags;
        lastArgs.clear();
        lastArgPointers.assign(args.begin(), args.end());
        for (const Variant* a : args) lastArgs.push_back(*a);
        if (throwBadAlloc) throw std::bad_alloc();
        if (throwOther) throw std::runtime_error("server bug");
        if (busyCalls > 0) return --busyCalls, RPC_E_SERVERCALL_RETRYLATER;
        if (status == DISP_E_EXCEPTION)
            return RaiseException(info, MakeHResult(0x800A03EC), "bad name", "Probe");
        if (result) *result = answer;
        return status;
    }

    int calls = 0;
    DISPID lastDispId = 0;
    WORD lastFlags = 0;
    std::vector<Variant> lastArgs;
    std::vector<const Variant*> lastArgPointers;
    HRESULT status = S_OK;
    Variant answer;
    bool throwBadAlloc = false;
    bool throwOther = false;
    int busyCalls = 0;  // calls rejected as by a busy application before the answer
};

SCODE OleErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const COleException& e) {
        return e.m_sc;
    }
    return S_OK;
}

const BYTE kBool[] = {VTS_BOOL, 0};
const BYTE kBstrVariant[] = {VTS_BSTR, VTS_VARIANT, 0};

}  // namespace

TEST(Variant, OwnsItsStringArrayAndReference) {
    Probe* probe = Probe::Make();
    {
        Variant a = Variant::Dispatch(probe);
        EXPECT_EQ(probe->Refs(), 2u);
        Variant b = a;  // copy takes another reference
        EXPECT_EQ(probe->Refs(), 3u);
        Variant c = std::move(b);  // a move does not
        EXPECT_EQ(probe->Refs(), 3u);
        EXPECT_EQ(b.vt(), VT_EMPTY);

        SafeArray array(2, 3);
        array.At(1, 2) = a;
        array.At(0, 0) = Variant::String(std::string(100, 'x'));
        Variant block;
        block.SetArray(std::move(array));
        EXPECT_EQ(probe->Refs(), 4u);
        Variant copy = block;  // deep copy, elements included
        EXPECT_EQ(probe->Refs(), 5u);
        ASSERT_NE(copy.parray(), nullptr);
        EXPECT_NE(copy.parray(), block.parray());
        EXPECT_EQ(copy.parray()->At(0, 0).bstrVal(), std::string(100, 'x'));
        VariantClear(copy);
        EXPECT_EQ(probe->Refs(), 4u);
        c.SetI2(7);  // overwriting releases
        EXPECT_EQ(probe->Refs(), 3u);
    }
    EXPECT_EQ(probe->Refs(), 1u);
    probe->Release();
}

TEST(Variant, AccessorsGiveZeroForOtherTypes) {
    const Variant s = Variant::String("12");
    EXPECT_EQ(s.lVal(), 0);
    EXPECT_EQ(s.pdispVal(), nullptr);
    EXPECT_EQ(s.parray(), nullptr);
    EXPECT_TRUE(Variant::Optional().IsOptional());
    EXPECT_EQ(Variant::Optional().scode(), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(Variant::Int(5).vt(), VT_INT);
    EXPECT_EQ(Variant::I4(5).vt(), VT_I4);
    EXPECT_EQ(Variant::Bool(true).boolVal(), VARIANT_TRUE);

    Variant text = Variant::String(std::string(40, 'a') + "tail");
    text.SetString(std::string_view(text.bstrVal()).substr(40));  // its own text
    EXPECT_EQ(text.bstrVal(), "tail");
    text.SetString(std::move(text.bstrVal()));
    EXPECT_EQ(text.bstrVal(), "tail");
}

TEST(Variant, SafeArrayRejectsWhatItCannotHold) {
    COleSafeArray block;
    const std::uint32_t counts[2] = {2, 3};
    EXPECT_EQ(OleErrorOf([&] { block.Create(VT_BSTR, 2, counts); }), E_INVALIDARG);
    EXPECT_EQ(OleErrorOf([&] { block.Create(VT_VARIANT, 1, counts); }), E_INVALIDARG);
    const std::uint32_t huge[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(OleErrorOf([&] { block.Create(VT_VARIANT, 2, huge); }), E_OUTOFMEMORY);

    block.Create(VT_VARIANT, 2, counts);
    const long inside[2] = {1, 2};
    block.PutElement(inside, Variant::R8(2.5));
    EXPECT_EQ(block.parray()->At(1, 2).dblVal(), 2.5);
    for (const auto& index : {std::vector<long>{2, 0}, {0, 3}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(OleErrorOf([&] { block.PutElement(index.data(), Variant::Int(1)); }), DISP_E_BADINDEX);
    }
    // A new array, empty again, whether or not the storage is reused.
    block.Create(VT_VARIANT, 2, counts);
    EXPECT_EQ(block.parray()->At(1, 2).vt(), VT_EMPTY);
    block.PutElement(inside, Variant::String(std::string(40, 's')));
    const std::uint32_t other[2] = {3, 2};
    block.Create(VT_VARIANT, 2, other);
    EXPECT_EQ(block.parray()->Rows(), 3u);
    EXPECT_EQ(block.parray()->At(2, 1).vt(), VT_EMPTY);
}

TEST(Variant, ConversionsIgnoreTheLocaleAndRoundLikeAutomation) {
    std::int32_t n = 0;
    EXPECT_EQ(ChangeToInt32(Variant::R8(2.5), n), S_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(ChangeToInt32(Variant::R8(3.5), n), S_OK);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(ChangeToInt32(Variant::String(" 56 "), n), S_OK);
    EXPECT_EQ(n, 56);
    EXPECT_EQ(ChangeToInt32(Variant::R8(3e9), n), DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeToInt32(Variant::String("5x"), n), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ChangeToInt32(Variant::Optional(), n), DISP_E_TYPEMISMATCH);
    std::string s;
    EXPECT_EQ(ChangeToString(Variant::R8(0.1), s), S_OK);
    EXPECT_EQ(s, "0.1");
    bool b = false;
    EXPECT_EQ(ChangeToBool(Variant::String("TRUE"), b), S_OK);
    EXPECT_TRUE(b);
}

TEST(Variant, TextLengthsCountUtf16Units) {
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("\xC3\xA9t\xC3\xA9"), 3u);  // été
    EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);   // one character beyond U+FFFF
    EXPECT_EQ(Utf16Length("\xE9t\xE9"), 3u);          // Latin-1 bytes count one each
    EXPECT_EQ(Utf16Prefix("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
    EXPECT_EQ(Utf16Prefix("a\xF0\x9F\x98\x80", 2), "a");  // a pair is never split
    EXPECT_EQ(Utf16Prefix("abc", 10), "abc");
}

TEST(InvokeHelper, SendsTheArgumentsTheTypeBytesDescribe) {
    COleDispatchDriver driver(Probe::Make());
    auto* probe = static_cast<Probe*>(driver.m_lpDispatch);
    const Variant optional = Variant::Optional();
    probe->answer = Variant::String("16.0");
    std::string version;
    driver.InvokeHelper(392, DISPATCH_PROPERTYGET, VT_BSTR, &version, nullptr);
    EXPECT_EQ(version, "16.0");

    driver.InvokeHelper(682, DISPATCH_METHOD, VT_EMPTY, nullptr, kBstrVariant, std::string("a.xls"),
                        optional);
    EXPECT_EQ(probe->lastDispId, 682);
    EXPECT_EQ(probe->lastFlags, DISPATCH_METHOD);
    ASSERT_EQ(probe->lastArgs.size(), 2u);
    EXPECT_EQ(probe->lastArgs[0].vt(), VT_BSTR);
    EXPECT_EQ(probe->lastArgs[0].bstrVal(), "a.xls");
    EXPECT_EQ(probe->lastArgPointers[1], &optional);  // variants go by reference

    driver.InvokeHelper(558, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kBool, true);
    EXPECT_EQ(probe->lastArgs[0].vt(), VT_BOOL);
    EXPECT_EQ(probe->lastArgs[0].boolVal(), VARIANT_TRUE);
}

TEST(InvokeHelper, AMismatchBetweenTypeBytesAndArgumentsIsAnErrorAndSendsNothing) {
    COleDispatchDriver driver(Probe::Make());
    auto* probe = static_cast<Probe*>(driver.m_lpDispatch);
    const Variant v = Variant::I2(1);
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 1, VT_EMPTY, nullptr, kBool); }), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 1, VT_EMPTY, nullptr, kBool, true, true); }),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 1, VT_EMPTY, nullptr, kBool, v); }),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 1, VT_EMPTY, nullptr, kBstrVariant, v, v); }),
              DISP_E_TYPEMISMATCH);
    const BYTE unknown[] = {0x03, 0};
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 1, VT_EMPTY, nullptr, unknown, v); }),
              DISP_E_BADVARTYPE);
    std::string text;
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 2, VT_DISPATCH, &text, nullptr); }), E_INVALIDARG);
    EXPECT_EQ(probe->calls, 0);

    // An object result that is not an object is refused too, after the call.
    probe->answer = Variant::Int(3);
    IDispatch* object = nullptr;
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(1, 2, VT_DISPATCH, &object, nullptr); }),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(object, nullptr);

    COleDispatchDriver empty;
    EXPECT_EQ(OleErrorOf([&] { empty.InvokeHelper(1, 1, VT_EMPTY, nullptr, nullptr); }), E_POINTER);
}

TEST(InvokeHelper, ServerFailuresBecomeTheTwoErrorKinds) {
    COleDispatchDriver driver(Probe::Make());
    auto* probe = static_cast<Probe*>(driver.m_lpDispatch);
    probe->status = DISP_E_EXCEPTION;
    try {
        driver.InvokeHelper(110, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kBool, true);
        FAIL() << "no error";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(e.m_scError, MakeHResult(0x800A03EC));
        EXPECT_EQ(e.m_strDescription, "bad name");
    }
    probe->status = DISP_E_MEMBERNOTFOUND;
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(9, 1, VT_EMPTY, nullptr, nullptr); }),
              DISP_E_MEMBERNOTFOUND);
    probe->status = S_OK;
    probe->throwBadAlloc = true;
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(9, 1, VT_EMPTY, nullptr, nullptr); }), E_OUTOFMEMORY);
    probe->throwBadAlloc = false;
    probe->throwOther = true;
    EXPECT_EQ(OleErrorOf([&] { driver.InvokeHelper(9, 1, VT_EMPTY, nullptr, nullptr); }), RPC_E_SERVERFAULT);
}

TEST(InvokeHelper, ABusyApplicationIsAskedAgain) {
    COleDispatchDriver driver(Probe::Make());
    auto* probe = static_cast<Probe*>(driver.m_lpDispatch);
    probe->busyCalls = 3;
    probe->answer.SetString(std::string("16.0"));
    std::string version;
    driver.InvokeHelper(392, DISPATCH_PROPERTYGET, VT_BSTR, &version, nullptr);
    EXPECT_EQ(version, "16.0");
    EXPECT_EQ(probe->calls, 4);
}

TEST(DispatchDriver, HoldsAndReleasesItsReference) {
    Probe* first = Probe::Make();
    Probe* second = Probe::Make();
    first->AddRef();
    second->AddRef();  // the test's own references
    {
        COleDispatchDriver holder(first);
        COleDispatchDriver copy(holder);
        EXPECT_EQ(first->Refs(), 3u);
        holder.AttachDispatch(second);  // releases first
        EXPECT_EQ(first->Refs(), 2u);
        holder.ReleaseDispatch();
        EXPECT_EQ(second->Refs(), 1u);
        holder.ReleaseDispatch();  // twice is harmless
    }
    EXPECT_EQ(first->Refs(), 1u);
    first->Release();
    second->Release();
}

TEST(DispatchDriver, CreatesThroughTheRegistryOnlyWithOleInitialised) {
    int created = 0;
    ClassRegistry::Instance().Register("Ledgra.AutomationProbe", [&created]() -> IDispatch* {
        ++created;
        return Probe::Make();
    });
    ClassRegistry::Instance().Register("Ledgra.NoServer", [] { return nullptr; });

    COleDispatchDriver app;
    COleException error(S_OK);
    EXPECT_EQ(app.CreateDispatch("Ledgra.AutomationProbe", &error), 0);
    EXPECT_EQ(error.m_sc, CO_E_NOTINITIALIZED);

    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(app.CreateDispatch("Ledgra.Missing", &error), 0);
    EXPECT_EQ(error.m_sc, CO_E_CLASSSTRING);
    EXPECT_EQ(app.CreateDispatch("Ledgra.NoServer", &error), 0);
    EXPECT_EQ(error.m_sc, CO_E_SERVER_EXEC_FAILURE);
    EXPECT_NE(app.CreateDispatch("Ledgra.AutomationProbe", &error), 0);
    EXPECT_NE(app.m_lpDispatch, nullptr);
    EXPECT_EQ(created, 1);
    OleUninitialize();
    app.ReleaseDispatch();
    ClassRegistry::Instance().Unregister("Ledgra.AutomationProbe");
    ClassRegistry::Instance().Unregister("Ledgra.NoServer");
}

TEST(Ole, InitialisationIsCountedPerThread) {
    EXPECT_FALSE(OleIsInitialized());
    EXPECT_EQ(OleInitialize(reinterpret_cast<void*>(1)), E_INVALIDARG);
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    HRESULT other = E_FAIL;
    bool otherBefore = true;
    std::thread([&] {
        otherBefore = OleIsInitialized();
        other = OleInitialize(nullptr);
        OleUninitialize();
    }).join();
    EXPECT_FALSE(otherBefore);
    EXPECT_EQ(other, S_OK);
    OleUninitialize();
    EXPECT_TRUE(OleIsInitialized());
    OleUninitialize();
    EXPECT_FALSE(OleIsInitialized());
    OleUninitialize();  // one too many does nothing
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    OleUninitialize();
}

TEST(ErrorReports, RunTimeErrorTextFitsIn512Characters) {
    EXPECT_EQ(ComposeRunTimeErrorText(MakeHResult(0x800A03EC), "You typed an invalid name"),
              "Run-time error '1004':\n\nYou typed an invalid name");
    EXPECT_EQ(ComposeRunTimeErrorText(MakeHResult(0x8002FFFF), ""), "Run-time error '65535':\n\n");
    const std::string longText(2000, 'x');
    const std::string text = ComposeRunTimeErrorText(1004, longText);
    EXPECT_EQ(text.size(), 511u);
    EXPECT_EQ(text.substr(0, 24), "Run-time error '1004':\n\n");
    // A cut never leaves half a character.
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xC3\xA9";
    const std::string cut = ComposeRunTimeErrorText(1004, accents);
    EXPECT_EQ(cut.size(), 24u + 486u);
    EXPECT_EQ(Utf16Length(cut), 24u + 243u);
}

TEST(ErrorReports, ShowTheirTextsWithTheirCaptions) {
    ScriptedInteraction ui;
    ReportDispatchException(ui, COleDispatchException(MakeHResult(0x800A03EC), "Bad name."));
    ReportOleException(ui, COleException(DISP_E_TYPEMISMATCH));
    ReportOleException(ui, COleException(MakeHResult(0x800A01A8)));
    ReportOleException(ui, COleException(E_OUTOFMEMORY));
    ASSERT_EQ(ui.calls.size(), 4u);
    EXPECT_EQ(ui.calls[0].kind, InteractionCall::MessageBoxA);
    EXPECT_EQ(ui.calls[0].text, "Run-time error '1004':\n\nBad name.");
    EXPECT_EQ(ui.calls[0].caption, "Server Error");
    EXPECT_EQ(ui.calls[0].type, 0x10000u);
    EXPECT_EQ(ui.calls[1].text, "Type mismatch.");
    EXPECT_EQ(ui.calls[1].caption, "COM Error");
    EXPECT_EQ(ui.calls[1].type, 0x10000u);
    EXPECT_EQ(ui.calls[2].text, "Unknown automation error 0x800A01A8.");
    EXPECT_EQ(ui.calls[3].text, "Not enough memory resources are available to complete this operation.");
}
