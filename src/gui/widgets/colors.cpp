#include "gui/widgets/colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <cstdio>

#include "core/settings/app_settings.h"
#include "core/text/bytes.h"

namespace tobrisk::gui {
namespace {

constexpr std::array<BasicColor, kBasicColorCount> kBasicColors{{
    {"clBlack", "黒", 0x000000},
    {"clMaroon", "茶色", 0x800000},
    {"clGreen", "緑", 0x008000},
    {"clOlive", "ｵﾘｰﾌﾞ", 0x808000},
    {"clNavy", "紺", 0x000080},
    {"clPurple", "紫", 0x800080},
    {"clTeal", "青緑", 0x008080},
    {"clGray", "灰色", 0x808080},
    {"clSilver", "銀", 0xC0C0C0},
    {"clRed", "赤", 0xFF0000},
    {"clLime", "黄緑", 0x00FF00},
    {"clYellow", "黄", 0xFFFF00},
    {"clBlue", "青", 0x0000FF},
    {"clFuchsia", "赤紫", 0xFF00FF},
    {"clAqua", "水色", 0x00FFFF},
    {"clWhite", "白", 0xFFFFFF},
}};

// Further named colours of the platform's colour identifiers (upper case).
struct ExtraColor {
  std::string_view upper_identifier;
  QRgb rgb;
};
constexpr std::array<ExtraColor, 6> kExtraColors{{
    {"CLLTGRAY", 0xC0C0C0},
    {"CLDKGRAY", 0x808080},
    {"CLMONEYGREEN", 0xC0DCC0},
    {"CLSKYBLUE", 0xA6CAF0},
    {"CLCREAM", 0xFFFBF0},
    {"CLMEDGRAY", 0xA0A0A4},
}};

// The system colours by number, with the palette role that plays their part here.
struct SystemColor {
  std::string_view upper_identifier;
  QPalette::ColorRole role;
};
constexpr std::array<SystemColor, 25> kSystemColors{{
    {"CLSCROLLBAR", QPalette::Button},                // 0
    {"CLBACKGROUND", QPalette::Window},               // 1
    {"CLACTIVECAPTION", QPalette::Highlight},         // 2
    {"CLINACTIVECAPTION", QPalette::Mid},             // 3
    {"CLMENU", QPalette::Window},                     // 4
    {"CLWINDOW", QPalette::Base},                     // 5
    {"CLWINDOWFRAME", QPalette::Shadow},              // 6
    {"CLMENUTEXT", QPalette::WindowText},             // 7
    {"CLWINDOWTEXT", QPalette::Text},                 // 8
    {"CLCAPTIONTEXT", QPalette::HighlightedText},     // 9
    {"CLACTIVEBORDER", QPalette::Window},             // 10
    {"CLINACTIVEBORDER", QPalette::Window},           // 11
    {"CLAPPWORKSPACE", QPalette::Dark},               // 12
    {"CLHIGHLIGHT", QPalette::Highlight},             // 13
    {"CLHIGHLIGHTTEXT", QPalette::HighlightedText},   // 14
    {"CLBTNFACE", QPalette::Button},                  // 15
    {"CLBTNSHADOW", QPalette::Dark},                  // 16
    {"CLGRAYTEXT", QPalette::PlaceholderText},        // 17
    {"CLBTNTEXT", QPalette::ButtonText},              // 18
    {"CLINACTIVECAPTIONTEXT", QPalette::WindowText},  // 19
    {"CLBTNHIGHLIGHT", QPalette::Light},              // 20
    {"CL3DDKSHADOW", QPalette::Shadow},               // 21
    {"CL3DLIGHT", QPalette::Midlight},                // 22
    {"CLINFOTEXT", QPalette::ToolTipText},            // 23
    {"CLINFOBK", QPalette::ToolTipBase},              // 24
}};

QColor SystemColorAt(size_t index) {
  if (index >= kSystemColors.size()) return {};
  return QGuiApplication::palette().color(kSystemColors[index].role);
}

// A colour value 0x00BBGGRR, or 0x800000nn for system colour nn.
QColor ColorFromValue(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  switch (bits >> 24) {
    case 0x00:
    case 0x02:  // palette-relative RGB: the RGB part stands
      return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                    static_cast<int>((bits >> 16) & 0xFF));
    case 0x80: return SystemColorAt(bits & 0xFFFFFF);
    default:  // clNone, clDefault and anything else: no colour of its own
      return {};
  }
}

}  // namespace

const std::array<BasicColor, kBasicColorCount>& BasicColors() { return kBasicColors; }

int BasicColorIndex(std::string_view identifier) {
  const std::string upper = UpperAscii(identifier);
  for (int i = 0; i < kBasicColorCount; ++i) {
    if (UpperAscii(kBasicColors[static_cast<size_t>(i)].identifier) == upper) return i;
  }
  return -1;
}

QColor ColorFromStoredText(std::string_view text) {
  if (const int basic = BasicColorIndex(text); basic >= 0) return QColor(kBasicColors[static_cast<size_t>(basic)].rgb);
  const std::string upper = UpperAscii(text);
  for (const ExtraColor& c : kExtraColors) {
    if (c.upper_identifier == upper) return QColor(c.rgb);
  }
  for (size_t i = 0; i < kSystemColors.size(); ++i) {
    if (kSystemColors[i].upper_identifier == upper) return SystemColorAt(i);
  }
  int32_t value = 0;
  if (!ConvertRegInteger(text, value)) return {};
  return ColorFromValue(value);
}

std::string StoredTextOfColor(const QColor& color) {
  const QRgb rgb = color.rgb() & 0xFFFFFF;
  for (const BasicColor& c : kBasicColors) {
    if (c.rgb == rgb) return std::string(c.identifier);
  }
  char text[10];
  std::snprintf(text, sizeof text, "$00%02x%02x%02x", color.blue(), color.green(), color.red());
  return text;
}

}  // namespace tobrisk::gui
