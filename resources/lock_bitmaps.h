// The LOCKED and UNLOCKED bitmaps of the scale lock button (16 × 16): a closed and an open
// padlock, as XPM text so that no resource compiler is needed.
#pragma once

namespace kartoplot::resources {

inline const char* const LOCKED[] = {
    "16 16 5 1",
    "  c None",
    ". c #202020",
    "+ c #D8B030",
    "o c #F0D870",
    "@ c #707070",
    "                ",
    "     @@@@@@     ",
    "    @@@@@@@@    ",
    "    @@    @@    ",
    "    @@    @@    ",
    "    @@    @@    ",
    "    @@    @@    ",
    "  ............  ",
    "  .oooooooooo.  ",
    "  .+++++++++o.  ",
    "  .++++..+++o.  ",
    "  .++++..+++o.  ",
    "  .+++++.+++o.  ",
    "  .+++++.+++o.  ",
    "  .++++++++++.  ",
    "  ............  ",
};

inline const char* const UNLOCKED[] = {
    "16 16 5 1",
    "  c None",
    ". c #202020",
    "+ c #D8B030",
    "o c #F0D870",
    "@ c #707070",
    "        @@@@@@  ",
    "       @@@@@@@@ ",
    "       @@    @@ ",
    "       @@    @@ ",
    "       @@    @@ ",
    "       @@       ",
    "       @@       ",
    "  ............  ",
    "  .oooooooooo.  ",
    "  .+++++++++o.  ",
    "  .++++..+++o.  ",
    "  .++++..+++o.  ",
    "  .+++++.+++o.  ",
    "  .+++++.+++o.  ",
    "  .++++++++++.  ",
    "  ............  ",
};

}  // namespace kartoplot::resources
