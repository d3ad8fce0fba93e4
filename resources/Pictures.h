#pragma once

#include <QString>

namespace tinko::pictures {

// Where the compiled-in pictures are.
QString keyboard();          // the clean keyboard, 1144 x 177
QString keyMask(int shape);  // highlight mask for key shape 0 to 8
QString icon(int size);      // program icon, 16, 32, 48 or 64 pixels square

}  // namespace tinko::pictures
