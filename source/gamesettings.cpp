#include "gamesettings.h"

GameSettings& GameSettings::Get()
{
    static GameSettings settings;
    return settings;
}
