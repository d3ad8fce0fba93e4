#include <QApplication>
#include <QTest>

#include "ErrorReport.h"
#include "InstrumentCatalogue.h"
#include "MainFormFixture.h"

namespace tinko {
namespace {

using InstrumentChoice = testing::MainFormTest;

TEST_F(InstrumentChoice, StartUpOpensTheDeviceListsAllInstrumentsAndSendsTheStoredOneTwice) {
    struct Case {
        QVariant stored;
        int selected;
        const char* sent;
    };
    const Case cases[] = {
        {QVariant(), 0, "C0 00, C0 00"},
        {73, 73, "C0 49, C0 49"},
        {128, -1, "C0 80"},  // not offered by the list: selected and sent no more
        {-1, -1, "C0 FF"},
        {2147483647, -1, ""},                          // too large to send at all
        {QStringLiteral("piano"), 0, "C0 00, C0 00"},  // unreadable: the default
    };
    // Both bad settings are reported, and the window opens all the same.
    QStringList reported;
    setErrorReporter([&](const std::exception& error) { reported << error.what(); });
    for (const Case& c : cases) {
        PropertyBag saved = savedPianoProperties();
        if (c.stored.isValid()) {
            saved.WriteProperty(QStringLiteral("mYinSe"), c.stored);
        }
        midi.clearSent();
        makeWindow(saved);
        EXPECT_TRUE(midi.isOpen());
        EXPECT_EQ(midi.lastDeviceId(), 0);
        EXPECT_TRUE(piano->AutoPlay());
        EXPECT_EQ(combo->count(), 128);
        EXPECT_EQ(combo->itemText(127), instrumentName(127));
        EXPECT_EQ(combo->currentIndex(), c.selected) << c.stored.toInt();
        EXPECT_EQ(midi.sentText(), c.sent) << c.stored.toInt();
        window.reset();
    }
    setErrorReporter(nullptr);
    ASSERT_EQ(reported.size(), 2);
    EXPECT_TRUE(reported[0].startsWith(QStringLiteral("溢出"))) << reported[0].toStdString();
    EXPECT_TRUE(reported[1].startsWith(QStringLiteral("类型不匹配"))) << reported[1].toStdString();
}

TEST_F(InstrumentChoice, PickingAnEntrySendsItAndGivesTheKeysBack) {
    makeWindow();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    combo->setFocus(Qt::MouseFocusReason);
    combo->setCurrentIndex(39);
    midi.clearSent();

    QTest::keyClick(combo, Qt::Key_Down);  // the user moves to entry 40
    emit combo->activated(40);             // and picks it again
    // A letter now plays instead of choosing an instrument by its name.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(combo->currentIndex(), 40);
    EXPECT_EQ(midi.sentText(), "C0 28, C0 28, 90 3C 70, 90 3C 00");
    EXPECT_EQ(piano->mYinSe(), 0) << "the choice is not stored";
}

TEST_F(InstrumentChoice, ClosingClosesTheDeviceWithoutLettingKeysGo) {
    makeWindow();
    window->show();
    piano->selc(60);
    emit combo->activated(40);
    midi.clearSent();
    window->close();
    EXPECT_FALSE(midi.isOpen());
    EXPECT_EQ(midi.closeCalls(), 1);
    EXPECT_EQ(midi.sentText(), "");
    // The next start begins with the stored instrument again.
    window.reset();
    makeWindow();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(midi.sentText(), "C0 00, C0 00");
}

}  // namespace
}  // namespace tinko
