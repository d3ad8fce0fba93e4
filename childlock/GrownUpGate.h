#pragma once

#include <QDialog>
#include <chrono>

class QLineEdit;

namespace tinko {

// Asks for the sum of two random two-digit numbers: a sum a grown-up types
// at once and a small child cannot. The right answer and Enter accept the
// dialog; a wrong answer, Escape or `patience` without an answer reject it.
class GrownUpGate : public QDialog {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kPatience{30};

    explicit GrownUpGate(QWidget* parent = nullptr, std::chrono::milliseconds patience = kPatience);

    // Shows the dialog over `parent` until it is answered or gives up;
    // whether a grown-up answered it.
    static bool ask(QWidget* parent);

private:
    void check();

    int sum_ = 0;
    QLineEdit* answer_ = nullptr;
};

}  // namespace tinko
