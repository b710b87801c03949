// JsonFile: reading JSON documents from content files and writing text files safely.
// Used by spaces, archetypes, texture descriptions, banks and the run dump on the game
// thread. Saves go through OutputFile: a temporary file beside the target that is then
// renamed into place, so a failed or interrupted save never leaves a truncated file.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

namespace volleyrun {

class JsonFile {
public:
    enum class ReadResult { kOk, kUnopenable, kUnparsable };

    // The largest content file read: a JSON document costs several times its size in memory.
    static constexpr uintmax_t kMaxBytes = uintmax_t{64} << 20;

    // Parses the whole file (a regular file of at most kMaxBytes; otherwise error, when
    // given, says why: kUnopenable for what is not a regular file); a number with more than 15 significant digits or an exponent
    // beyond 22 may land a few units in the last place away from the nearest double (floats
    // read back exactly what was written). On kUnparsable,
    // error (when given) receives the parser's message and offset.
    static ReadResult Read(const std::string& path, rapidjson::Document& document, std::string* error = nullptr);

    // Replaces the content file path with text atomically; throws GameError naming the
    // file on failure (a link or a non-regular file is refused), leaving any old file untouched.
    static void WriteAtomically(const std::string& path, const std::string& text);

    // True for a name that can become one file name inside a content folder: not empty,
    // no path separators, no "..".
    static bool IsSafeFileName(const std::string& name);
};

} // namespace volleyrun
