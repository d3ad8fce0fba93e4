#pragma once

#include <QString>
#include <Qt>

class QWidget;

namespace tinko::testing {

// Plays input on a widget as the window system would deliver it, from a
// script of steps separated by ';':
//   press X Y [left|right|middle [MODIFIERS]]
//                                   a button goes down at (X, Y) of the widget,
//                                   with "Shift+Alt" say held
//   drag X Y [BUTTONS]              the pointer moves with buttons held (left)
//   hover X Y                       the pointer moves, no button held
//   release X Y [BUTTON]            a button comes up (left)
//   key K, up K, repeat K           a key goes down, comes up, auto-repeats;
//                                   K as QKeySequence writes it ("Shift+1")
//   deactivate, hide, ungrab        the window loses activation, is hidden,
//                                   the mouse grab is lost
//   popup, blur                     the focus goes to a popup, elsewhere
// Pointer steps move the cursor there first.
class InputScript {
public:
    explicit InputScript(QWidget& target) : target_(target) {}
    void play(const QString& script);

private:
    QWidget& target_;
    Qt::MouseButtons held_;  // buttons down, as the next events report them
};

}  // namespace tinko::testing
