#pragma once

#include <QString>
#include <array>

#include "SiteHosts.h"

namespace tinko {

// What a button or menu command of the main window does.
struct SiteCommand {
    enum class Action {
        Browse,    // open the address in the window's browser
        External,  // open the address in the user's own web browser
        About,     // show the about box
    };
    enum class Site { None, Maker, Songs, Radio, Television, Music, Video, BabyGoods, Navigation };

    const char* control;  // the button's or menu item's name
    Action action;
    Site site;
    const char* path;
    const char* query;  // empty for none
};

// The 23 commands, buttons first, then the menu items.
extern const std::array<SiteCommand, 23> kSiteCommands;

// "http://" + host + path, then "?" + query when there is one.
QString siteAddress(const SiteCommand& command, const SiteHosts& hosts);

}  // namespace tinko
