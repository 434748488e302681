#include "app/WindowSystem.h"

#include <QGuiApplication>
#include <QWindow>

namespace ql {

bool QtWindowSystem::placesWindows() const
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool QtWindowSystem::takesHotSpotsInDevicePixels() const
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool QtWindowSystem::startSystemMove(QWindow& window)
{
    return window.startSystemMove();
}

} // namespace ql
