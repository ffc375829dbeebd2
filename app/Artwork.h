// The product picture (300 x 200) and the application icon, drawn by code so that the
// program carries no binary artwork files.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap ProductPicture();
QIcon ApplicationIcon();
