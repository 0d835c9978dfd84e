#include "control_panel/builtin_captions.h"

namespace zl::panel {

const std::vector<TranslatedCaption>& TranslatedCaptions() {
  static const std::vector<TranslatedCaption> captions = {
      {"1", "tabSetting", "Einstellung"},
      {"2", "tabClients", "Clients"},
      {"3", "tabMangement", "Verwaltung"},
      {"4", "rbAutomaticConfigVWiFi", "Hotspot automatisch einrichten und starten"},
      {"5", "Label4", "Netzwerkname (SSID)"},
      {"6", "Label6", "Netzwerkschl\xFCssel (mindestens 8 Zeichen)"},
      {"7", "cbEnableICS", "Internetverbindung freigeben"},
      {"8", "rbManualConfigVWiFi", "Hotspot wurde schon auf diesem Computer eingerichtet"},
      {"9", "btnOK", "Hotspot einrichten und Starten"},
      {"10", "RzURLLabel1", "Information \xFC" "ber das Produkt"},
      {"11", "suiGroupBox4", "Sprache"},
      {"12", "Label3", "Sprache ausw\xE4hlen:"},
      {"13", "suiGroupBox1", "FileSharing Protokolle sperren"},
      {"14", "Label9",
       "Nutzung von Filesharing oder P2P-Protokolle \r(Z.b eDonkey,BitTorrent..) duch das integrierte\rFirewall  "
       "vollst\xE4ndig unterbinden"},
      {"15", "suiGroupBox2", "URL-Protokollierung"},
      {"16", "cbEnableUrlLog", "URL-Protokollierung aktivieren"},
      {"17", "suiButton3", "URL-Logb\xFC" "cher anschauen"},
      {"18", "suiGroupBox3", "Autostart"},
      {"19", "Label2", "Zephlink wird automatisch bei jedem\rWindowsstart ausgef\xFChrt"},
  };
  return captions;
}

std::string BuiltInLanguageText(const std::string& section, const std::string& key) {
  if (section != kMainWindowSection) return {};
  for (const TranslatedCaption& caption : TranslatedCaptions()) {
    if (key == caption.key) return caption.builtIn;
  }
  return {};
}

}  // namespace zl::panel
