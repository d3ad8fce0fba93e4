#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>

#include "KeyboardGeometry.h"
#include "KeyboardPicture.h"
#include "MidiOutput.h"
#include "PropertyBag.h"

namespace tinko {

// A label at the foot of a key, with dots above it (octaves up) or below
// (down) as many as `dots` says.
struct KeyLabel {
    QString text;
    int dots = 0;
};

// An 88-key on-screen piano keyboard that sounds through a MIDI output. The
// host opens the output, chooses the instrument and plays keys through the
// public members; the control plays the keys under the mouse itself and
// reports pointer and key activity through its signals.
class Piano : public QWidget, private KeyboardPicture::Handler {
    Q_OBJECT

public:
    // `midiOut` must outlive the control.
    explicit Piano(MidiOutput& midiOut, QWidget* parent = nullptr);
    ~Piano() override;

    // MIDI output.
    std::int32_t OpenDevices(std::int32_t ID = 0);
    std::int32_t CloseDevices();
    void PlayNote(std::uint8_t Note, std::uint8_t s = 112, std::uint8_t n = 0);
    void PlayMsg(std::int32_t MidiMsg);
    void ChangeYinSe(std::int32_t Ys = 0, std::uint8_t n = 0);

    // Selection: a selected key is drawn pressed and, with AutoPlay, sounds.
    // Notes 0 to 128 are accepted; others raise SubscriptOutOfRangeError.
    void selc(std::uint8_t Index);
    void unSelc(std::uint8_t Index);
    bool isSelc(std::uint8_t Index) const;

    // The key to press next, shown in a colour of its own under any
    // selection; 0 shows none. Sends nothing.
    void setHint(std::uint8_t note);
    std::uint8_t hint() const { return hint_; }

    // Labels at the foot of keys, by note: dark on a light face, light on a
    // dark one, pressed or hinted alike. None draws the keyboard as it is.
    void setKeyLabels(std::map<std::uint8_t, KeyLabel> labels);
    const std::map<std::uint8_t, KeyLabel>& keyLabels() const { return labels_; }
    // What a key says to a screen reader: its note and its label.
    QString keyDescription(std::uint8_t note) const;

    // Geometry, in the keyboard picture's pixels.
    std::uint8_t GetNote(std::int32_t x, std::int32_t y, bool* isHei = nullptr) const;
    bool GetPos(std::uint8_t Note, std::int32_t& x, std::int32_t& y) const;

    // Properties. Setting one stores the value and does nothing else.
    bool AutoPlay() const { return autoPlay_; }
    void setAutoPlay(bool vNewValue) { autoPlay_ = vNewValue; }
    std::int32_t mYinSe() const { return yinSe_; }
    void setMYinSe(std::int32_t vNewValue) { yinSe_ = vNewValue; }

    // Instrument names.
    QString GetMidiMu(std::int32_t Ys) const;

    // Persistence hooks, raised by the host when it loads and saves its
    // layout.
    void ReadProperties(const PropertyBag& PropBag);
    void WriteProperties(PropertyBag& PropBag) const;

signals:
    // Parameters passed by reference belong to the raising handler; a host
    // connected directly may change them.
    void Click(std::uint8_t Note);
    void Move(std::uint8_t Note, std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void Down(std::uint8_t Note, std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void Up(std::uint8_t Note, std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Input from the keyboard picture.
    void pictureClick() override;
    void pictureKeyDown(std::int16_t& KeyCode, std::int16_t& Shift) override;
    void pictureKeyUp(std::int16_t& KeyCode, std::int16_t& Shift) override;
    void pictureMouseDown(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) override;
    void pictureMouseMove(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) override;
    void pictureMouseUp(std::int16_t& Button, std::int16_t& Shift, float& x, float& y) override;
    void pictureDensityChanged(double devicePixelRatio) override;

    void Initialize();
    void loadPictures(double scale);
    void imposeSize();
    std::uint8_t noteUnderPointer() const;
    void checkIndex(std::uint8_t Index, const char* member) const;
    void DrawKeys();
    void composeKeys();
    void drawLabels();

    MidiOutput& midiOut_;
    KeyboardPicture* Picture1;                 // the visible keyboard; a child, owned by Qt
    QImage cleanKeyboard_;                     // the keyboard with no key pressed
    QImage Buffer;                             // where every redraw is composed
    std::array<QImage, keyboard::kShapes> KW;  // highlight masks, one per key shape

    MidiOutput::Handle hMidiOut = 0;   // 0 while no device is open
    std::array<bool, 129> KeyState{};  // one flag per note 0..128
    std::uint8_t MouseNote = 0;        // the note last found under the pointer
    bool mouseHolding_ = false;        // MouseNote was selected by the mouse, not yet let go
    bool autoPlay_ = false;            // selecting a key also sounds it
    std::int32_t yinSe_ = 0;           // program sent whenever a device opens
    std::uint8_t hint_ = 0;            // the key shown as the one to press next
    std::map<std::uint8_t, KeyLabel> labels_;
    std::array<QImage, 2> labelLayers_;  // every label in dark ink, and in light ink
};

}  // namespace tinko
