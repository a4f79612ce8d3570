// main() for tests that make windows: wx comes up on the display, a failed
// wx assertion fails the test instead of opening a dialog, and an alarm ends
// a test that hangs.
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>

namespace {

constexpr unsigned kSecondsPerTest = 60;

void FailingAssertHandler(const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion failed in " << func.utf8_str().data() << ": " << cond.utf8_str().data() << " "
        << msg.utf8_str().data();
}

class Watchdog final : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { alarm(kSecondsPerTest); }
    void OnTestEnd(const testing::TestInfo&) override { alarm(0); }
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();  // discovery needs no display
    }
    setenv("GSETTINGS_BACKEND", "memory", 0);
    setenv("NO_AT_BRIDGE", "1", 0);

    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    wxSetAssertHandler(FailingAssertHandler);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);

    int result = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        result = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return result;
}
