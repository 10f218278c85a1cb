// The Performance page's four graphic controls keep their pictures: each
// paints the picture of its last drawing whenever it is asked to paint (the
// page shown again, the sheet uncovered), and its black background before
// the first one.
#ifndef SELVANE_UI_PERFORMANCE_PICTURE_CONTROLS_H
#define SELVANE_UI_PERFORMANCE_PICTURE_CONTROLS_H

#include "platform/fixed_width.h"
#include "platform/win32.h"

// Makes the page's graphic controls paint their kept pictures.
void KeepGraphPictures(HWND page);

// Paints graphic control `graph` (kGraph*) from its kept picture over
// `client`, through the control's own DC; a gauge whose pixels would not
// change is left as it is.
void PaintGraphControl(HWND control, const RECT& client, uint32_t graph);

#endif
