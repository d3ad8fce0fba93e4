#pragma once

#include <QAccessibleWidget>
#include <array>

#include "KeyboardGeometry.h"

namespace tinko {

class Piano;

// The keyboard picture to a screen reader: one button a key, from the lowest
// A up, each named by its note and its label ("C4 1") and pressed while
// selected.
class KeyboardAccessible : public QAccessibleWidget {
public:
    KeyboardAccessible(QWidget* picture, const Piano& piano);
    ~KeyboardAccessible() override;
    KeyboardAccessible(const KeyboardAccessible&) = delete;
    KeyboardAccessible& operator=(const KeyboardAccessible&) = delete;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // Makes the keyboard pictures of pianos known to the accessibility
    // framework; once is enough.
    static void installFactory();

private:
    static constexpr int kKeys = keyboard::kHighestNote - keyboard::kLowestNote + 1;

    const Piano& piano_;
    mutable std::array<QAccessible::Id, kKeys> keys_{};  // registered as first asked for
};

}  // namespace tinko
