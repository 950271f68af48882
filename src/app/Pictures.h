#pragma once

#include <QIcon>
#include <QList>

// The sixteen command pictures (menus and toolbar) and the seven status
// pictures of the resource list, drawn as SVG and built into the program.
namespace Pictures {
QList<QIcon> commandPictures();
QList<QIcon> statusPictures();
}
