#pragma once
#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <cstdint>

namespace platform {

// A colour value as the class library writes it: 0x00BBGGRR, red in the low byte.
inline QColor FromTColor(std::uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// The desktop's colour for the face of buttons and dialogs.
inline QColor ButtonFaceColor() {
    return QGuiApplication::palette().color(QPalette::Button);
}

} // namespace platform
