// The main window's texts in section "1" of a language file: which key
// captions which control, in the order the window sets them, with the German
// caption built into the window until the first lookup.
#pragma once

#include <array>
#include <string_view>

namespace zl {

inline constexpr std::string_view kMainWindowSection = "1";

struct TLanguageCaption {
  std::string_view Key;
  std::string_view Control;
  std::string_view BuiltIn;  // code page 1252
};

// Keys "1" to "8" come before the set-up button's caption, "10" to "19" after it.
inline constexpr std::array<TLanguageCaption, 8> kCaptionsBeforeButton{{
    {"1", "tabSetting", "Einstellung"},
    {"2", "tabClients", "Clients"},
    {"3", "tabMangement", "Verwaltung"},
    {"4", "rbAutomaticConfigVWiFi", "Hotspot automatisch einrichten und starten"},
    {"5", "Label4", "Netzwerkname (SSID)"},
    {"6", "Label6", "Netzwerkschl\xFC" "ssel (mindestens 8 Zeichen)"},
    {"7", "cbEnableICS", "Internetverbindung freigeben"},
    {"8", "rbManualConfigVWiFi", "Hotspot wurde schon auf diesem Computer eingerichtet"},
}};

inline constexpr std::array<TLanguageCaption, 10> kCaptionsAfterButton{{
    {"10", "RzURLLabel1", "Information \xFC" "ber das Produkt"},
    {"11", "suiGroupBox4", "Sprache"},
    {"12", "Label3", "Sprache ausw\xE4" "hlen:"},
    {"13", "suiGroupBox1", "FileSharing Protokolle sperren"},
    {"14", "Label9",
     "Nutzung von Filesharing oder P2P-Protokolle \r(Z.b eDonkey,BitTorrent..) duch das integrierte\rFirewall  "
     "vollst\xE4" "ndig unterbinden"},
    {"15", "suiGroupBox2", "URL-Protokollierung"},
    {"16", "cbEnableUrlLog", "URL-Protokollierung aktivieren"},
    {"17", "suiButton3", "URL-Logb\xFC" "cher anschauen"},
    {"18", "suiGroupBox3", "Autostart"},
    {"19", "Label2", "Zephlink wird automatisch bei jedem\rWindowsstart ausgef\xFC" "hrt"},
}};

// The set-up button `btnOK`'s captions by state.
inline constexpr std::string_view kButtonStoppedAutomatic = "9";  // built in: "Hotspot einrichten und Starten"
inline constexpr std::string_view kButtonSettingUp = "20";
inline constexpr std::string_view kButtonStoppedManual = "21";
inline constexpr std::string_view kButtonRunning = "22";

}  // namespace zl
