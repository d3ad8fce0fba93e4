#include "KeyLabels.h"

#include <array>

#include "KeyboardGeometry.h"

namespace tinko::notation {

std::map<std::uint8_t, KeyLabel> keyLabels(LabelMode mode) {
    static constexpr std::array<const char*, 12> kDegrees = {"1",  "♯1", "2",  "♯2", "3",  "4",
                                                             "♯4", "5",  "♯5", "6",  "♯6", "7"};
    static constexpr std::array<const char*, 12> kSolfege = {"do", "",    "re", "",   "mi", "fa",
                                                             "",   "sol", "",   "la", "",   "si"};
    static constexpr std::array<const char*, 12> kNames = {"C",  "C♯", "D",  "D♯", "E",  "F",
                                                           "F♯", "G",  "G♯", "A",  "A♯", "B"};
    std::map<std::uint8_t, KeyLabel> labels;
    for (int note = keyboard::kLowestNote; note <= keyboard::kHighestNote; ++note) {
        const auto step = static_cast<std::size_t>(note % 12);
        const int octave = note / 12 - 1;  // C4 is note 60
        KeyLabel label;
        switch (mode) {
            case LabelMode::Jianpu:
                label.text = QString::fromUtf8(kDegrees[step]);
                label.dots = octave - 4;
                break;
            case LabelMode::Solfege:
                label.text = QString::fromUtf8(kSolfege[step]);
                break;
            case LabelMode::NoteName:
                label.text = QString::fromUtf8(kNames[step]) + QString::number(octave);
                break;
            case LabelMode::None:
            case LabelMode::ComputerKey:
                break;
        }
        if (!label.text.isEmpty()) {
            labels[static_cast<std::uint8_t>(note)] = label;
        }
    }
    return labels;
}

}  // namespace tinko::notation
