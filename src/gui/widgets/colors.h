// Colours as the settings store them: a colour identifier ("clWhite", "clRed",
// the system colours "clWindow", "clBtnFace", ...) or a colour value in decimal
// or "$" hexadecimal text, the value being 0x00BBGGRR (0x800000nn for system
// colour nn). The one place that converts between those texts and QColor.
#pragma once

#include <QColor>
#include <array>
#include <string>
#include <string_view>

namespace tobrisk::gui {

// One of the sixteen basic colours the properties dialog offers.
struct BasicColor {
  std::string_view identifier;  // stored text, "clBlack"
  std::string_view name;        // Japanese name for the colour list, UTF-8 ("黒")
  QRgb rgb;
};

inline constexpr int kBasicColorCount = 16;

// The sixteen basic colours in the order of the colour list, black to white.
const std::array<BasicColor, kBasicColorCount>& BasicColors();

// Index of `identifier` among the basic colours, compared without regard to
// ASCII case; -1 when it is not one of them.
int BasicColorIndex(std::string_view identifier);

// The colour a stored text stands for: an identifier (any case) or a number.
// System colours come from the application's palette. An invalid QColor when the
// text is no colour at all ("", "clNone", "clDefault", "abc"): the caller then
// keeps its own default colour.
QColor ColorFromStoredText(std::string_view text);

// The stored text of a colour: the basic colour's identifier when it is one of
// the sixteen, otherwise "$" and eight lowercase hexadecimal digits (00bbggrr).
std::string StoredTextOfColor(const QColor& color);

}  // namespace tobrisk::gui
