#include "gameerror.h"

namespace volleyrun {

void GameError::Check(bool condition, const char* expression, const char* sourceFile,
                      const std::string& context)
{
    if (condition) return;
    std::string text = std::string("Assertion failed: ") + expression + " in " + sourceFile;
    if (!context.empty()) text += ": " + context;
    throw GameError(text);
}

} // namespace volleyrun
