#pragma once

#include <QIcon>
#include <QPixmap>

// The window's own drawings: two 30 x 28 lamps and the 48 x 48 icon.
namespace Pictures {

// A dark round lamp on a light green background.
QPixmap darkLamp();
// A lit red round lamp.
QPixmap redLamp();
// A bench supply: a case with a read-out and two terminals.
QIcon windowIcon();

} // namespace Pictures
