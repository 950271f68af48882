#pragma once

#include <QIcon>
#include <QList>

// The command pictures (menus and toolbar) and the seven status
// pictures of the resource list, drawn as SVG and built into the program.
namespace Pictures {

// Command pictures, by their index in the command image list. Index 3 and
// 15 are drawn but no command shows them.
enum Command : int {
    picNone = -1,
    picOpen = 0,
    picSave = 1,
    picAdd = 2,
    picClearAll = 4,
    picRemove = 5,
    picCheckAll = 6,
    picUncheckAll = 7,
    picRefresh = 8,
    picPing = 9,
    picSettings = 10,
    picAbout = 11,
    picExit = 12,
    picSend = 13,
    picTime = 14,
    picMonitor = 16,
    CommandPictureCount = 17
};

QList<QIcon> commandPictures();
// By status image index (see StatusImage).
QList<QIcon> statusPictures();

} // namespace Pictures
