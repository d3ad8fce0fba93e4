#pragma once

#include <QString>
#include <array>

class QMenuBar;
class QWidget;

namespace tinko {

// Where the main window's command buttons stand, in tab order.
struct CommandButton {
    const char* name;
    const char* caption;
    int left, top, width, height;  // twips
};
extern const std::array<CommandButton, 10> kCommandButtons;

// The window's caption, with the maker's host in it.
QString mainFormCaption(const QString& makerHost);

// Fills the menu bar: two submenus and, between them, three commands that
// act when clicked on the bar itself. Every item is named by its caption
// (the one exception is 儿童360, captioned "360儿童").
void buildMainMenu(QMenuBar& menuBar);

// The font of the window and its controls: Tahoma 8.25 pt where installed,
// else a sans-serif face that has Chinese glyphs.
void applyMainFormFont(QWidget& window);

}  // namespace tinko
