// GameError: the one error type that carries a fatal message to main()'s handler.
// Thrown by any code on the game thread for bad content (a file, an object and a member
// named in the text), a failed start-up step, or a broken contract the data can cause.
// main() prints the text and exits; tests catch it and check the text.
#pragma once

#include <stdexcept>
#include <string>

namespace volleyrun {

class GameError : public std::runtime_error {
public:
    explicit GameError(const std::string& message) : std::runtime_error(message) {}

    // Throws "Assertion failed: <expression> in <sourceFile>" plus an optional context
    // line (which file, object and member were being read) when condition is false.
    static void Check(bool condition, const char* expression, const char* sourceFile,
                      const std::string& context = {});
};

#define GAME_CHECK(cond, context) GameError::Check((cond), #cond, __FILE__, (context))

} // namespace volleyrun
