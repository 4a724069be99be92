// The images of the favourites windows, drawn here: the group and function trees'
// folder pictures ("Close" for a closed folder, "Open" for an open one), the
// detail function's "Acct", the picture a dragged function carries ("DragIcon")
// and the one shown where it cannot be dropped ("NoDrop").
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "widgets/image_list.h"

namespace wayfind::favourites {

// An image list holding the named pictures, for a window's imgLstTB.
widgets::ImageList* favouriteImages(QObject* parent, const std::vector<std::string>& keys);

}  // namespace wayfind::favourites
