// FileCheck: the questions asked of a path before the game reads it: is it a regular file
// (a FIFO would hang the reader, a device never end, a folder fail obscurely), and does it
// stay inside the content root. Called by every reader of content and of run inputs, on
// whichever thread reads (the game thread, the studio's loader thread); it keeps no state.
#pragma once

#include <string>

namespace volleyrun {

class FileCheck {
public:
    // "" for a regular file or a path that does not exist (its opening fails with its own
    // message); otherwise what it is instead ("is a folder, not a file", ...).
    static std::string NotRegular(const std::string& path);

    // True when path, with links and ".." resolved, lies in the folder root or below it.
    static bool Inside(const std::string& root, const std::string& path);

    // Throws GameError "<path>: <what> leads outside the content folder <root>" unless Inside.
    static void RequireInside(const std::string& root, const std::string& path, const std::string& what);
};

} // namespace volleyrun
