#include "GrownUpGate.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>

namespace tinko {

GrownUpGate::GrownUpGate(QWidget* parent, std::chrono::milliseconds patience) : QDialog(parent) {
    setObjectName(QStringLiteral("GrownUpGate"));
    setWindowTitle(QStringLiteral("家长验证"));
    setModal(true);
    const int first = QRandomGenerator::global()->bounded(10, 100);
    const int second = QRandomGenerator::global()->bounded(10, 100);
    sum_ = first + second;

    auto* question = new QLabel(
        QStringLiteral("请家长回答：%1 + %2 = ？（输入答案后按回车）").arg(first).arg(second),
        this);
    question->setObjectName(QStringLiteral("question"));
    answer_ = new QLineEdit(this);
    answer_->setObjectName(QStringLiteral("answer"));
    answer_->setValidator(new QIntValidator(0, 999, answer_));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(answer_);
    connect(answer_, &QLineEdit::returnPressed, this, &GrownUpGate::check);

    auto* giveUp = new QTimer(this);
    giveUp->setSingleShot(true);
    connect(giveUp, &QTimer::timeout, this, &QDialog::reject);
    giveUp->start(patience);
}

bool GrownUpGate::ask(QWidget* parent) {
    GrownUpGate gate(parent);
    return gate.exec() == QDialog::Accepted;
}

void GrownUpGate::check() {
    // One try: a child typing at random does not get to try every sum.
    bool number = false;
    const int given = answer_->text().toInt(&number);
    done(number && given == sum_ ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace tinko
