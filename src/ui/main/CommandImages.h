// Our artwork for the window's commands (the eleven images of MainTexts' CommandImage) and the
// two sort arrows of the list's headers, drawn at any size.
#pragma once

#include <QIcon>

namespace pgl {

// The image of a command (0 save report ... 10 registry backup), in 16, 24 and 32 pixels.
QIcon CommandIcon(int image);
// The program's own icon: a software box leaving, with the red minus of uninstalling.
QIcon AppIcon();
// Grey triangles pointing up (ascending) and down, 16 pixels.
const QIcon& SortArrow(bool up);

}  // namespace pgl
