#pragma once

class QWindow;

namespace ql {

// What the desktop's window system lets the program do with its own windows.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Whether a window placed from code lands where it was put. Wayland keeps the
    // placing of windows to the compositor.
    virtual bool placesWindows() const = 0;

    // Whether a pointer drawn at a device pixel ratio above 1 must have its hot
    // spot in device pixels; X11 takes it so, Wayland in logical pixels.
    virtual bool takesHotSpotsInDevicePixels() const = 0;

    // Hands a drag of the window, with the button that is held now, to the window
    // system; false where it cannot take it.
    virtual bool startSystemMove(QWindow& window) = 0;
};

// The window system the program runs on, through Qt's platform.
class QtWindowSystem final : public WindowSystem {
public:
    bool placesWindows() const override;
    bool takesHotSpotsInDevicePixels() const override;
    bool startSystemMove(QWindow& window) override;
};

} // namespace ql
