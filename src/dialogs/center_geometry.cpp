// Centring arithmetic for CenterDialog.
#include "center_geometry.h"

ScreenPoint CenteredPosition(const ScreenRect &window, const ScreenRect &parent)
{
    long windowWidth = window.right - window.left;
    long windowHeight = window.bottom - window.top;
    long parentWidth = parent.right - parent.left;
    long parentHeight = parent.bottom - parent.top;
    // Integer division truncates toward zero, which is the rounding wanted for each half.
    ScreenPoint position;
    position.x = parent.left + (parentWidth / 2 - windowWidth / 2);
    position.y = parent.top + (parentHeight / 2 - windowHeight / 2);
    if (position.x < 0)
        position.x = 0;
    if (position.y < 0)
        position.y = 0;
    return position;
}
