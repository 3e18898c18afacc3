// Whether the desktop shows a top-level window's opacity (QWidget::setWindowOpacity). One file per
// platform: X11 needs a compositing manager for it; Windows always composites.
#pragma once

bool windowOpacityAvailable();
