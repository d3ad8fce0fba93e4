#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <bitset>
#include <cstdint>
#include <map>

#include "KeyHolds.h"
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

    // Held keys. A key goes down (selected, and sounding with AutoPlay) when
    // its first holder takes it, and up when the last lets it go. The
    // control keeps this one record of held keys for every layer that
    // presses them (the mouse here, the host's computer keys, a song, a MIDI
    // source); they ask it rather than keep their own. A MIDI source's keys
    // light only: its own messages sound them.
    void hold(std::uint8_t note, Holder who);
    void letGo(std::uint8_t note, Holder who);
    void letGoAll(Holder who);
    bool isHeldBy(std::uint8_t note, Holder who) const;
    bool isHeldByOtherThan(std::uint8_t note, Holder who) const {
        return note < 129 && holds_.isHeldByOtherThan(note, who);
    }
    // From any thread, without a lock: whether the mouse, a computer key or
    // a song holds `note` (0 to 128), so that a source's release may not end it.
    bool isHeldApartFromSources(std::uint8_t note) const noexcept {
        return note < 129 && holds_.isHeldApartFromSources(note);
    }
    // A release by `who`, where it may hold nothing: a key that no one holds
    // still has its note ended, as unSelc does; a key another holds stays.
    void release(std::uint8_t note, Holder who);

    // Decides what the mouse plays instead of the key under it, as a song's
    // magic keys do: one note at a time, however many buttons, no glide.
    class MouseKeys {
    public:
        // A button goes down on `note`: the note to hold, or 0 for none.
        virtual std::uint8_t pressedOn(std::uint8_t note) = 0;
        // The mouse's note was let go, by its release or in its place.
        virtual void released() = 0;

    protected:
        ~MouseKeys() = default;
    };
    // Null for the key under the pointer; `keys` must outlive its use.
    void setMouseKeys(MouseKeys* keys) { mouseKeys_ = keys; }

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

    // Draws the keyboard `zoom` times its own size, as sharp as at its own
    // (for a screen smaller than the window's layout). Positions in the
    // signals and the geometry stay in the picture's own pixels.
    void setZoom(double zoom);

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
    void letTheMouseGo();
    void releaseMouseNote();

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
    KeyHolds holds_;                   // who holds each selected key
    std::bitset<129> sounded_;         // held keys this control sounded
    MouseKeys* mouseKeys_ = nullptr;
    bool autoPlay_ = false;   // selecting a key also sounds it
    std::int32_t yinSe_ = 0;  // program sent whenever a device opens
    std::uint8_t hint_ = 0;   // the key shown as the one to press next
    std::map<std::uint8_t, KeyLabel> labels_;
    std::array<QImage, 2> labelLayers_;  // every label in dark ink, and in light ink
};

}  // namespace tinko
