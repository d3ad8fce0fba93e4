#include <QApplication>
#include <QTest>

#include "InstrumentCatalogue.h"
#include "MainFormFixture.h"

namespace tinko {
namespace {

using InstrumentChoice = testing::MainFormTest;

TEST_F(InstrumentChoice, StartUpOpensTheDeviceListsAllInstrumentsAndSendsTheStoredOneTwice) {
    makeWindow();
    EXPECT_TRUE(midi.isOpen());
    EXPECT_EQ(midi.lastDeviceId(), 0);
    EXPECT_EQ(midi.sentText(), "C0 00, C0 00");
    ASSERT_EQ(combo->count(), 128);
    for (int program = 0; program < 128; ++program) {
        EXPECT_EQ(combo->itemText(program), instrumentName(program));
    }
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(piano->AutoPlay());
    EXPECT_EQ(piano->mYinSe(), 0);
}

TEST_F(InstrumentChoice, WithoutAMidiDeviceTheWindowStillOpensAndFillsTheList) {
    midi.failOpeningWith(MidiOutput::NoAudioOutput);
    makeWindow();
    EXPECT_EQ(combo->count(), 128);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(midi.sentText(), "");
    window->show();
    piano->selc(60);  // still highlights, silently
    EXPECT_TRUE(piano->isSelc(60));
    EXPECT_EQ(midi.strayMessages(), 0);
}

TEST_F(InstrumentChoice, AStoredInstrumentIsSelectedAndSent) {
    PropertyBag saved;
    saved.WriteProperty(QStringLiteral("mYinSe"), 73);
    makeWindow(saved);
    EXPECT_EQ(combo->currentIndex(), 73);
    EXPECT_EQ(midi.sentText(), "C0 49, C0 49");
}

TEST_F(InstrumentChoice, AStoredInstrumentTheListDoesNotOfferSelectsNothing) {
    for (int stored : {128, -1, 40000, -2147483647 - 1}) {
        SCOPED_TRACE(stored);
        PropertyBag saved;
        saved.WriteProperty(QStringLiteral("mYinSe"), stored);
        midi.clearSent();
        window.reset();
        makeWindow(saved);
        EXPECT_EQ(combo->currentIndex(), -1);
        EXPECT_EQ(combo->count(), 128);
        EXPECT_TRUE(midi.isOpen());
        // Only what opening the device sends for the stored number, if the
        // number can be sent at all.
        const bool formable = stored >= -8388608 && stored <= 8388607;
        EXPECT_EQ(midi.sent().size(), formable ? 1U : 0U);
    }
}

TEST_F(InstrumentChoice, PickingAnEntrySendsItLeavesTheStoredInstrumentAndReturnsTheKeys) {
    makeWindow();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    combo->setFocus(Qt::MouseFocusReason);
    midi.clearSent();

    combo->setCurrentIndex(39);
    QTest::keyClick(combo, Qt::Key_Down);  // the user moves to entry 40

    EXPECT_EQ(combo->currentIndex(), 40);
    EXPECT_EQ(midi.sentText(), "C0 28");
    EXPECT_EQ(piano->mYinSe(), 0);
    EXPECT_TRUE(piano->hasFocus()) << "keys must play, not search the list";

    // A letter now plays instead of choosing an instrument by its name.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(combo->currentIndex(), 40);
    EXPECT_EQ(midi.sentText(), "C0 28, 90 3C 70, 90 3C 00");
}

TEST_F(InstrumentChoice, PickingTheEntryAlreadyShownSendsItAgain) {
    makeWindow();
    midi.clearSent();
    emit combo->activated(combo->currentIndex());
    EXPECT_EQ(midi.sentText(), "C0 00");
}

TEST_F(InstrumentChoice, ClosingClosesTheDeviceAndSendsNothingMore) {
    makeWindow();
    window->show();
    piano->selc(60);  // a key still held
    midi.clearSent();

    window->close();
    EXPECT_FALSE(midi.isOpen());
    EXPECT_EQ(midi.closeCalls(), 1);
    EXPECT_EQ(midi.sentText(), "");
    EXPECT_TRUE(piano->isSelc(60));
}

TEST_F(InstrumentChoice, TheNextStartBeginsWithTheStoredInstrumentAgain) {
    makeWindow();
    emit combo->activated(40);
    window->close();
    window.reset();
    midi.clearSent();
    makeWindow();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(midi.sentText(), "C0 00, C0 00");
}

}  // namespace
}  // namespace tinko
