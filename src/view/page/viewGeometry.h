#pragma once

#include "view/render/ContentInfo.h"

#include <QSize>

// The arithmetic of the view page's sizes and scroll positions, apart from the widgets it is applied to.
namespace viewGeometry {

// The size a result view takes for rendered content, and the padding that centres short content.
struct ContentSizing
{
    QSize size;
    int pad = 0;
};

// Content reported by the editor page, at the page's font size, on a screen `screenWidth` wide: the width
// with the page's margins but at most the screen less 100 px, the height with its margin but at most
// 500 px and at least 100 px, short content padded equally above and below. An error report gets half the
// screen less 20 px by 80 px, without padding.
ContentSizing contentSizing(const ContentInfo& info, int screenWidth, int fontSize);

// The height of the result view itself for `sizing`: the content with its margin, the padding of short
// content left around the view; never above `room`, the most the window can give the view, nor below 0.
int viewHeight(const ContentSizing& sizing, int room);

// The scroll position that shows entry `index` of `count` entries on a bar running up to `maximum`: the
// entries spread evenly over the bar; a single entry (or none) sits at 0.
int scrollValueFor(int index, int count, int maximum);

// `index` taken round a ring of `count` places, negative numbers too; -1 when there are no places.
int wrap(int index, int count);

} // namespace viewGeometry
