// The environment load: merges the chosen profile of env/ into halvoclient.ini
// section by section and key by key, then records which profile was loaded
// and when. It runs against LoadWindow, which stands for the main window, so
// the whole load can be driven without a real window.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "private_profile.h"

namespace ardmon {

// What the load needs from the main window.
class LoadWindow {
public:
    virtual ~LoadWindow() = default;
    // Index of the selected profile in the list, or -1 when none is selected.
    virtual int GetCurSel() = 0;
    // Text of the list item at index (the profile's file name, ".ini" included).
    virtual std::string GetLBText(int index) = 0;
    // The working directory taken when the window opened.
    virtual std::string WorkDir() = 0;
    // Sets the text of edit box 1005 ("Current Environment").
    virtual void SetCurrentEnvironment(const std::string& text) = 0;
    // Shows a modal message with OK and waits for the user.
    virtual void ShowMessage(const std::string& text) = 0;
};

// What became of putting the collected writes into the client file.
enum class CommitResult {
    kCommitted,  // the file holds them all
    kFailed,     // the file is as it was
    kBusy,       // another load held the file longer than the wait; the file is as it was
};

// The calls the load makes to the system, so that tests can make any of them
// fail or fix the clock, and a Windows build can use the system's own. The
// writes to the client file go between BeginWrites and CommitWrites: only the
// commit puts them into the file, all at once, holding the file's update lock
// from reading it to putting the new one in place, so that two launchers that
// load at the same moment both arrive.
class LoadPlatform {
public:
    virtual ~LoadPlatform() = default;
    virtual DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) = 0;
    virtual DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) = 0;
    // Opens the client file for update ("r+"), or returns null. A file without
    // any write permission is refused even for a privileged process, as a
    // read-only file is on Windows.
    virtual std::FILE* OpenForUpdate(const std::string& path) = 0;
    // Starts collecting the writes to the file at path.
    virtual void BeginWrites(const std::string& path) = 0;
    virtual BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) = 0;
    // Puts every write since BeginWrites into the file, waiting a bounded
    // time for another load's update lock; the file is as it was before
    // BeginWrites unless the result is kCommitted.
    virtual CommitResult CommitWrites() = 0;
    virtual std::time_t Now() = 0;
    // The size of the file at path in bytes; -1 when it cannot be told.
    virtual long long FileSize(const std::string& path) = 0;
    // What the profile functions do not give as the profile at path holds it
    // (characters outside the code page): (section, "") for a section that
    // cannot be read at all, (section, key) for a key whose name or value
    // changes. Names as the profile functions give them, in file order.
    virtual std::vector<std::pair<std::string, std::string>> ReadLosses(const std::string& path) = 0;
};

// The largest profile the load reads. A bigger one is refused before anything
// is written: it holds no more than 5000 sections of 16000 characters that
// could be loaded, and reading it would take memory the launcher should not.
inline constexpr long long kMaxProfileBytes = 256LL << 20;

// What became of a load: the window shows its messages either way, the
// command line also turns it into an exit code.
enum class LoadResult {
    kLoaded,            // every entry arrived as the profile gives it
    kLoadedNotAsGiven,  // loaded, but some entries were not loaded as given (the user was told which)
    kNotLoaded,         // nothing changed: no profile chosen, client file or profile not usable, load refused
    kBusy,              // another load held the client file longer than the wait; nothing changed
};

// OnBnClickedLoad's whole logic.
LoadResult RunEnvironmentLoad(LoadWindow& window, LoadPlatform& platform);

// The same with this host's platform (posix/ or win32/load_platform.cpp).
LoadResult RunEnvironmentLoad(LoadWindow& window);

// This host's platform, for a caller that wraps it (the command line's dry run).
std::unique_ptr<LoadPlatform> MakeHostLoadPlatform();

// The "Time" value of the load record: "%d-%b-%Y %H:%M:%S" in local time,
// always in the C locale (English month names) whatever locale the process
// runs in. Made by the host's time functions (posix/ or win32/load_platform.cpp).
std::string FormatLoadTime(std::time_t when);

}  // namespace ardmon
