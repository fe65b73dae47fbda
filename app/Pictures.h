#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The window's own drawings: two 30 x 28 lamps and the icon.
namespace Pictures {

// A dark round lamp on a light green background.
QPixmap darkLamp();
// A lit red round lamp.
QPixmap redLamp();
// A bench supply: a case with a read-out and two terminals, drawn at the
// sizes a desktop shows a window's icon.
QIcon windowIcon();
// The same drawing on a transparent square of the given side: the installed
// icon files are made from it.
QImage windowIconImage(int side);

} // namespace Pictures
