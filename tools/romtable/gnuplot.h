// Pictures drawn by gnuplot (Debian gnuplot-nox, its cairo PNG terminal), or
// by the program $ROMTABLE_GNUPLOT names.
#pragma once

#include <functional>
#include <string>

// A gnuplot single-quoted string.
std::string gnuplot_quoted(const std::string& text);

// Runs gnuplot on the script that script_for(png) makes for the picture file
// png; false with a message when gnuplot is missing, fails or leaves no picture.
bool draw_picture(const std::function<std::string(const std::string& png)>& script_for, const std::string& png,
                  std::string* error);
