#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>

#include "DisplayKeymap.h"

namespace tinko {

// The visible keyboard: shows a persistent image and turns the toolkit's
// pointer and key events into the handler calls the piano control expects,
// with classic button, shift and key codes.
//
// It also mends what the toolkit leaves out or gets in the way: a click
// after a press and release on the picture, one key-up per held key however
// long it auto-repeats, with the code of its first press, key-ups for keys
// still held when the focus leaves, and a pointer-up for a press that is cut
// off without a release.
class KeyboardPicture : public QWidget {
    Q_OBJECT

public:
    class Handler {
    public:
        // Button: 1 left, 2 right, 4 middle; Shift: 1 Shift, 2 Ctrl, 4 Alt;
        // x, y: the event's position in the picture's pixels.
        virtual void pictureMouseDown(std::int16_t& Button, std::int16_t& Shift, float& x,
                                      float& y) = 0;
        virtual void pictureMouseMove(std::int16_t& Button, std::int16_t& Shift, float& x,
                                      float& y) = 0;
        virtual void pictureMouseUp(std::int16_t& Button, std::int16_t& Shift, float& x,
                                    float& y) = 0;
        virtual void pictureClick() = 0;
        virtual void pictureKeyDown(std::int16_t& KeyCode, std::int16_t& Shift) = 0;
        virtual void pictureKeyUp(std::int16_t& KeyCode, std::int16_t& Shift) = 0;
        // The screen's pixel density times the zoom differs from the
        // image's: make the image anew at `devicePixelRatio`.
        virtual void pictureDensityChanged(double devicePixelRatio) = 0;

    protected:
        ~Handler() = default;
    };

    KeyboardPicture(Handler& handler, QWidget* parent);

    // The image shown. It keeps what is drawn into it; repaint() shows it.
    QImage& image() { return image_; }
    void setImage(const QImage& image);
    // The picture's own size, in its own pixels, however large it shows.
    QSize pictureSize() const { return image_.deviceIndependentSize().toSize(); }

    // Shows the picture `zoom` times its own size (a screen too small for
    // the window's layout). Positions handed on stay in the picture's own
    // pixels; the handler is asked for an image as sharp as the zoom needs.
    void setZoom(double zoom);
    double zoom() const { return zoom_; }
    // Where a point of the widget falls on the picture, in its own pixels:
    // the point whose pixel's centre shows there, as the picture is drawn.
    QPointF toPicture(QPointF point) const {
        const QPointF centre(0.5, 0.5);
        return (point + centre) / zoom_ - centre;
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    using MouseHandler = void (Handler::*)(std::int16_t&, std::int16_t&, float&, float&);

    // Calls a pointer handler with the classic button, shift and position.
    void handOn(MouseHandler handler, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                QPointF where);
    // The classic key code of a key event, read with the display's keymap.
    std::int16_t codeOf(const QKeyEvent& event);
    void releaseCutOffPress();
    void releaseHeldKeys();

    Handler& handler_;
    std::unique_ptr<DisplayKeymap> keymap_;
    QImage image_;
    double zoom_ = 1.0;
    Qt::MouseButtons pressed_;  // pressed on the picture, not yet released
    Qt::MouseButtons cutOff_;   // let go for the control; their real release is dropped
    std::map<std::uint32_t, std::int16_t> keysDown_;  // codes of the keys held, by physical key
};

}  // namespace tinko
