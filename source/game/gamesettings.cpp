#include "gamesettings.h"

#include "input.h"

#include <algorithm>
#include <span>

namespace volleyrun {

GameSettings& GameSettings::Get()
{
    static GameSettings settings;
    return settings;
}

namespace {

std::span<int32_t> Slots(GameSettings::Bindings& bindings, GameSettings::Control control)
{
    switch (control) {
    case GameSettings::Control::kLetterKey: return bindings.letterKeys;
    case GameSettings::Control::kSpotKey: return bindings.spotKeys;
    case GameSettings::Control::kLetterButton: break;
    }
    return bindings.letterButtons;
}

constexpr int32_t kLeftControl = 341;

} // namespace

int32_t& GameSettings::Binding(int player, Control control, int slot)
{
    return Slots(bindings.at(player), control)[slot];
}

std::string GameSettings::Rebind(int player, Control control, int slot, int32_t code)
{
    bool button = control == Control::kLetterButton;
    if (button ? !BindableButton(code) : !BindableKey(code))
        return (button ? ButtonName(code) : KeyName(code)) + " is kept for the menus";
    int32_t& target = Binding(player, control, slot);
    for (int p = 0; p < 2; ++p) {
        if (button && p != player) continue;  // each player has his own pad
        for (Control kind : {Control::kLetterKey, Control::kSpotKey, Control::kLetterButton}) {
            if ((kind == Control::kLetterButton) != button) continue;
            for (int32_t& other : Slots(bindings[p], kind))
                if (other == code && &other != &target)
                    return (button ? ButtonName(code) : KeyName(code)) + " is already bound for player " +
                           std::to_string(p + 1);
        }
    }
    target = code;
    return {};
}

bool GameSettings::BindingsValid() const
{
    std::vector<int32_t> keys;
    for (const Bindings& player : bindings) {
        keys.insert(keys.end(), player.letterKeys.begin(), player.letterKeys.end());
        keys.insert(keys.end(), player.spotKeys.begin(), player.spotKeys.end());
        std::array<int32_t, 4> buttons = player.letterButtons;
        std::sort(buttons.begin(), buttons.end());
        if (std::adjacent_find(buttons.begin(), buttons.end()) != buttons.end()) return false;
        if (!std::all_of(buttons.begin(), buttons.end(), BindableButton)) return false;
    }
    if (!std::all_of(keys.begin(), keys.end(), BindableKey)) return false;
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}

bool GameSettings::BindableKey(int32_t key)
{
    return key >= Input::kKeySpace && key < Input::kKeyCount && key != Input::kKeyEscape &&
           key != Input::kKeyEnter && key != Input::kKeyF11 && key != Input::kKeyBackslash && key != kLeftControl;
}

bool GameSettings::BindableButton(int32_t button)
{
    return button >= 0 && button < Input::kPadButtonCount && button != Input::kPadStart;
}

// Printable keys are named by their character (GLFW numbers them by it); the rest by the
// few names a keyboard shows, else by number.
std::string GameSettings::KeyName(int32_t key)
{
    static const char* const kEditing[] = {"ESCAPE", "ENTER", "TAB", "BACKSPACE", "INSERT", "DELETE", "RIGHT",
                                           "LEFT", "DOWN", "UP", "PAGE UP", "PAGE DOWN", "HOME", "END"};
    static const char* const kModifiers[] = {"L SHIFT", "L CTRL", "L ALT", "L SUPER",
                                             "R SHIFT", "R CTRL", "R ALT", "R SUPER"};
    if (key == Input::kKeySpace) return "SPACE";
    if (key > Input::kKeySpace && key <= 96) return std::string(1, static_cast<char>(key));
    if (key >= Input::kKeyEscape && key <= 269) return kEditing[key - Input::kKeyEscape];
    if (key >= 290 && key <= 314) return "F" + std::to_string(key - 289);
    if (key >= 320 && key <= 329) return "PAD " + std::to_string(key - 320);
    if (key >= 340 && key <= 347) return kModifiers[key - 340];
    return "KEY " + std::to_string(key);
}

std::string GameSettings::ButtonName(int32_t button)
{
    static const char* const kNames[Input::kPadButtonCount] = {
        "A", "B", "X", "Y", "LB", "RB", "BACK", "START", "L STICK", "R STICK", "UP", "RIGHT", "DOWN", "LEFT", "GUIDE"};
    if (button < 0 || button >= Input::kPadButtonCount) return "BUTTON " + std::to_string(button);
    return kNames[button];
}

} // namespace volleyrun
