// StudioResult: what every studio call returns, STUDIO_OK or a named failure. Callers
// check results against STUDIO_OK; StudioResultName gives the constant's name for
// messages. Plain values, used on any thread.
#pragma once

namespace volleyrun {

enum StudioResult {
    STUDIO_OK = 0,
    STUDIO_ERR_INVALID_PARAM,        // a null pointer or an argument out of range
    STUDIO_ERR_INVALID_HANDLE,       // an instance that was released, a plug-in never registered
    STUDIO_ERR_INVALID_THREAD,       // a call from a timeline callback that needs the mixer
    STUDIO_ERR_UNINITIALIZED,        // needs Initialize first
    STUDIO_ERR_INITIALIZED,          // only allowed before Initialize
    STUDIO_ERR_FILE_NOTFOUND,        // a bank or sound file cannot be opened
    STUDIO_ERR_FILE_BAD,             // a bank or sound file is malformed
    STUDIO_ERR_EVENT_NOTFOUND,       // no loaded bank defines the event path
    STUDIO_ERR_EVENT_ALREADY_LOADED, // a bank defines a path that is already loaded
    STUDIO_ERR_PARAMETER_NOTFOUND,   // the event declares no parameter of that name
    STUDIO_ERR_TOO_MANY_INSTANCES,   // Start would exceed the playing-instance limit
    STUDIO_ERR_OUTPUT_INIT,          // the output plug-in failed to initialise
    STUDIO_ERR_OUTPUT_FORMAT,        // the output plug-in asked for a format the mixer lacks
};

const char* StudioResultName(StudioResult result);

} // namespace volleyrun
