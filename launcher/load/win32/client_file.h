// How the launcher replaces the client file on Windows: one routine, the same
// policy as on other hosts (see the profile layer's replace_file.h).
#pragma once

#include <string>
#include <vector>

namespace ardmon {

struct ProfileWrite {
    std::string section;
    std::string key;
    std::string value;
};

// Puts writes into the file at client, all or nothing, and says whether they
// arrived. Under the client file's update lock (".<name>.lock" beside it,
// opened exclusively and deleted on close, so a second launcher waits for the
// first one's result and a crash leaves no lock behind):
// 1. temporary files of earlier loads whose process is gone are removed;
// 2. the file is copied to ".<name>.<process id>-<n>.tmp" beside it, and the
//    writes go to the copy through the system's profile function;
// 3. the copy is flushed, takes the file's security descriptor, and is moved
//    over the file.
// When the move is refused because another program holds the file open
// without letting it be replaced (an editor, a backup agent, the terminal),
// or because the folder takes no new file, the new content is written into
// the file in place, after its room has been reserved: that is what the
// system's profile functions would have done, and the user asked for the
// load. A program that does not let the file be written at all refuses the
// load, and the file stays as it was.
bool ReplaceClientFile(const std::string& client, const std::vector<ProfileWrite>& writes);

}  // namespace ardmon
