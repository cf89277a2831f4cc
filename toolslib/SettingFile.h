// Where the tools library keeps the settings file.
#pragma once

#include <string>

// $RW_SETTINGS, else ${XDG_CONFIG_HOME:-$HOME/.config}/railwick/Railwick.ini; the folder that is
// to hold it is created when missing. Empty when no home folder is known.
std::string SettingFilePath();
