#include "gui_test_support.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace ardmon::test {

namespace {

void PumpOnce()
{
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        loop->YieldFor(wxEVT_CATEGORY_ALL);
    }
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return done();
        }
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

int RecordingMessages::MessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    shown.push_back({text, caption, style});
    if (onShow) {
        onShow(text);
    }
    return IDOK;
}

std::vector<std::string> RecordingMessages::Texts() const
{
    std::vector<std::string> texts;
    for (const Shown& s : shown) {
        texts.push_back(s.text);
    }
    return texts;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ardmon-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

ScopedWorkDir::ScopedWorkDir(const std::filesystem::path& dir) : m_previous(std::filesystem::current_path())
{
    std::filesystem::current_path(dir);
}

ScopedWorkDir::~ScopedWorkDir()
{
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ExpectedTitle()
{
    return std::filesystem::read_symlink("/proc/self/exe").stem().string();
}

}  // namespace ardmon::test
