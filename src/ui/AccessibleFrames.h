#pragma once

namespace ui {

// Plain frames (QFrame itself, or a subclass with no accessible face of its
// own) are told to assistive technology as panels. Qt tells them as
// "borders", which the AT-SPI bridge hands on as frames, the role of a
// top-level window: Orca then takes the frame for the window of every
// control inside it and, finding it never active, reads none of them.
// Installed once, before the first window is made.
void installAccessibleFrames();

} // namespace ui
