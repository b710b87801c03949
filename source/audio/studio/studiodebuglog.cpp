#include "studiodebuglog.h"

#include <cstdio>
#include <mutex>

namespace volleyrun {

namespace {
std::mutex logLock;
FILE* logFile = nullptr;  // under logLock
}

bool StudioDebugLog::Open(const std::string& path)
{
    std::lock_guard guard(logLock);
    if (logFile) std::fclose(logFile);
    logFile = std::fopen(path.c_str(), "w");
    return logFile != nullptr;
}

void StudioDebugLog::Close()
{
    std::lock_guard guard(logLock);
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}

void StudioDebugLog::Write(const std::string& line)
{
    std::lock_guard guard(logLock);
    if (!logFile) return;
    std::fputs(line.c_str(), logFile);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

bool StudioDebugLog::IsOpen()
{
    std::lock_guard guard(logLock);
    return logFile != nullptr;
}

} // namespace volleyrun
