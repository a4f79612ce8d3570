// ardmon-cli.exe against the window: for each profile of the demo
// workstation, the client file the command line leaves is the one the
// window's Load leaves, byte for byte but for the time of the load.
#include <gmock/gmock.h>

#include <regex>

#include "resource.h"
#include "win32_test_support.h"

using namespace ardmon::win32;
using namespace ardmon::win32::test;
namespace fs = std::filesystem;

namespace {

class CommandLineTest : public WorkstationTest {
protected:
    // The demo workstation in folder, with a terminal.
    static void CopyDemo(const fs::path& folder)
    {
        fs::copy(ARDMON_DEMO_WORKSTATION, folder,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        WriteFile(folder / "VovuvAvavar.exe", "");
    }

    // Runs ardmon-cli.exe with args and waits for it (bounded); its exit code.
    static DWORD RunCli(const std::string& args)
    {
        std::string command = "\"" ARDMON_CLI_EXE "\" " + args;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                              nullptr, &startup, &process)) {
            return 1000;
        }
        DWORD code = 1001;
        if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(process.hProcess, &code);
        }
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return code;
    }

    static std::string WithoutTime(const std::string& client)
    {
        return std::regex_replace(client, std::regex("\r\nTime=[^\r]*\r\n"), "\r\nTime=\r\n");
    }
};

TEST_F(CommandLineTest, LoadsEveryDemoProfileAsTheWindowDoes)
{
    CopyDemo(dir);
    const fs::path cli_desk = dir.string() + "-cli";
    ASSERT_TRUE(Start());
    for (const char* profile : {"DR.ini", "PROD.ini", "UAT.ini"}) {
        SCOPED_TRACE(profile);
        WriteFile(dir / "halvoclient.ini", ReadFile(fs::path(ARDMON_DEMO_WORKSTATION) / "halvoclient.ini"));
        fs::remove_all(cli_desk);
        CopyDemo(cli_desk);
        const HWND profiles = ::GetDlgItem(Main(), IDC_PROFILES);
        ::SendMessageA(profiles, CB_SETCURSEL,
                       ::SendMessageA(profiles, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(profile)),
                       0);
        Click(Main(), IDC_LOAD);
        const std::string by_window = ReadFile(dir / "halvoclient.ini");
        ASSERT_NE(by_window.find(std::string("Last Loaded File=") + profile), std::string::npos);

        EXPECT_EQ(RunCli("load " + std::string(profile) + " --dir \"" + cli_desk.string() + "\""), 0u);
        EXPECT_EQ(WithoutTime(ReadFile(cli_desk / "halvoclient.ini")), WithoutTime(by_window));
    }
    std::error_code ignored;
    fs::remove_all(cli_desk, ignored);
}

}  // namespace
