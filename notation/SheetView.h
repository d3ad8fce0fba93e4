#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>
#include <vector>

#include "Jianpu.h"

namespace tinko::notation {

// A song's 简谱 sheet: its title, key and metre, then its bars in as many
// lines as fit, one page of them at a time. One note may be marked (the one
// to play, sounding or next); the page turns to the line that holds it.
// Its accessible name is the sheet's text, its description the header.
class SheetView : public QWidget {
    Q_OBJECT

public:
    explicit SheetView(QWidget* parent = nullptr);

    void setSheet(const QString& title, Sheet sheet);
    const Sheet& sheet() const { return sheet_; }
    // Marks the melody's note `index`; below 0 marks none.
    void mark(int index);
    int marked() const { return marked_; }

    // The first line shown, and how many lines there are.
    int firstLine() const { return firstLine_; }
    int lines() const { return static_cast<int>(lines_.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Cell {
        double x = 0;
        double width = 0;
        std::size_t bar = 0;
        std::size_t sign = 0;
    };

    void layOut();
    int linesPerPage() const;
    int lineOf(const Sheet::Place& place) const;
    void turnToMarked();

    QString title_;
    Sheet sheet_;
    std::vector<std::vector<Cell>> lines_;
    int marked_ = -1;
    int firstLine_ = 0;
};

}  // namespace tinko::notation
