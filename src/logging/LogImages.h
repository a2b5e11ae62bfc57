#pragma once
// Picture records for processes that link Qt's GUI library: a PNG of the
// picture in base64 with its size.

// Makes the session describe pictures from now on; call once at start-up.
void RegisterLogImages();
