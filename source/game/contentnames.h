// Content: the names of spaces, entities and music in Quillmoor/ that the game's code looks
// up, declared once here so that renaming one in the content is one edit in the code. Only
// game/ and its screens use them: the engine, the widgets and the editor never name content.
// Constants, any thread.
#pragma once

#include "audioengine.h"

namespace volleyrun {

namespace Content {

// Spaces ("Spaces/<name>.txt").
inline constexpr const char* kMatchSpace = "game";
inline constexpr const char* kSplashSpace = "Splash";
inline constexpr const char* kMainMenuSpace = "MainMenu";
inline constexpr const char* kCreditsSpace = "CreditsUpdated";
inline constexpr const char* kMenuOptionsSpace = "MainMenuOptions";
inline constexpr const char* kPauseMenuSpace = "PauseMenu";
inline constexpr const char* kOptionsSpace = "OptionsMenu";
inline constexpr const char* kQuitConfirmSpace = "QuitConfirm";
inline constexpr const char* kCountdownSpace = "ReturnToGame";
inline constexpr const char* kEndGameSpace = "EndGame";

// The entity holding each space's logic (and, in the match, the ball manager and its clock).
inline constexpr const char* kLevelLogic = "levelLogic";

// Music: the match's song is also the clock the audio engine follows.
inline constexpr const char* kMatchMusic = AudioEngine::kInGame;
inline constexpr const char* kMenuMusic = "event:/MainMenu";
inline constexpr const char* kPauseMusic = "event:/PauseMenu";

} // namespace Content

} // namespace volleyrun
