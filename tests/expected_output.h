// What zolmek prints before looking for the keypad.
#pragma once

inline constexpr char kBannerAndUsage[] =
    "###########################################\n"
    "#                                         #\n"
    "#   Wii-Zolmek Test version 0.1           #\n"
    "#                  build 2007.2.11        #\n"
    "#                                         #\n"
    "###########################################\n"
    "\n"
    "Usage:\n"
    "   Home button  ... Quit\n"
    "\n";
