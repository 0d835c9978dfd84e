// TfrmMain: the control panel's one window as a toolkit-neutral model. It
// holds every control by its name, the window's fields, timers and server
// component, and runs all of the window's behaviour: the set-up page and the
// hotspot's running state, the Internet connection sharing, the supervision
// of the filtering service and the link to it, the client list and the
// management options.
//
// A view mirrors the controls (OnControlChanged reports every change of a
// property, OnClientsChanged every change of the client list) and forwards
// the user's actions through the User... entry points, which behave as the
// toolkit's events: a disabled control takes no action, and an error that
// escapes a handler is dropped and the window goes on.
//
// Life: construct, wire the view's hooks, FormCreate, FormShow; FormClose
// when the window closes. All on the thread of the event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control_panel/client_entry.h"
#include "control_panel/control.h"
#include "control_panel/net_sharing_manager.h"
#include "shared/messaging/server_socket.h"
#include "shared/notify/message_monitor.h"
#include "shared/support/event_loop.h"
#include "shared/support/timer.h"

namespace zl::panel {

// The service the window keeps running.
inline constexpr const char* kFilterServiceName = "ZephlinkService";
// The product web page opened by the link label.
inline constexpr const char* kProductPageUrl = "https://www.zephlink.example/";
// The address the link's server listens on: the service connects there, and
// nothing on another interface may read the settings or feed reports.
inline constexpr const char* kHotspotLinkBindAddress = "127.0.0.1";

inline constexpr unsigned kClientTimerInterval = 5000;
inline constexpr unsigned kPingTimerInterval = 20000;
inline constexpr unsigned kServiceTimerInterval = 5000;

// Where the window's translated captions come from (the language module).
// Unset functions leave the built-in German captions.
struct LanguageSource {
  // The text of a key of the current language; "" when there is none.
  std::function<std::string(const std::string& section, const std::string& key)> LanguageText;
  // The name of the current language, shown on the language button.
  std::function<std::string()> CurrentLanguage;
};

class TfrmMain {
 public:
  // `programFolder` (with its trailing "\") is where "UrlLog\" is looked
  // for; empty takes the running program's folder.
  explicit TfrmMain(EventLoop& loop, std::string programFolder = {});
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // ---- Lifecycle -------------------------------------------------------
  void FormCreate();
  void FormShow();
  void FormClose();

  // ---- The view's hooks --------------------------------------------------
  ControlChangeObserver OnControlChanged;
  std::function<void()> OnClientsChanged;
  // FormCreate step 5: fill the language menu and its image list.
  std::function<void()> OnFillLanguageMenu;
  // btnLanguageClick: open the language menu under the button.
  std::function<void()> OnShowLanguageMenu;
  // ApplyLanguageTexts step 2: give btnLanguage the current language's flag.
  std::function<void()> OnApplyLanguageFlag;
  // miRestoreBrennickClick: restore the application and bring it forward.
  std::function<void()> OnRestoreRequested;
  // miCloseBrennickClick: close the window (which then runs FormClose).
  std::function<void()> OnCloseRequested;

  void SetLanguageSource(LanguageSource source) { language_ = std::move(source); }

  // ---- User actions (the view forwards them) -----------------------------
  // A click: toggles a check box, checks a radio button, presses a button or
  // link or menu item. Nothing happens on a disabled control.
  void UserClick(Control& control);
  // The user changed an edit's text.
  void UserEditText(Control& control, const std::string& text);
  // The user chose an item of a drop-down list.
  void UserSelectItem(Control& control, int index);
  // The user chose a page.
  void UserSelectPage(int index);

  // ---- Controls --------------------------------------------------------
  Control frmMain{"frmMain", ControlKind::Form, "Zephlink"};
  Control pcMain{"pcMain", ControlKind::PageControl};

  Control tabSetting{"tabSetting", ControlKind::Page};
  Control rbAutomaticConfigVWiFi{"rbAutomaticConfigVWiFi", ControlKind::RadioButton};
  Control Label4{"Label4", ControlKind::Label};
  Control edHotspotName{"edHotspotName", ControlKind::Edit};
  Control imgHotspotNameOK{"imgHotspotNameOK", ControlKind::Image};
  Control imgHotspotNameNo{"imgHotspotNameNo", ControlKind::Image};
  Control Label6{"Label6", ControlKind::Label};
  Control edNetworkKey{"edNetworkKey", ControlKind::Edit};
  Control imgHotspotKeyOk{"imgHotspotKeyOk", ControlKind::Image};
  Control imgHotspotKeyNo{"imgHotspotKeyNo", ControlKind::Image};
  Control cbEnableICS{"cbEnableICS", ControlKind::CheckBox};
  Control cbInternet{"cbInternet", ControlKind::DropDownList};
  Control rbManualConfigVWiFi{"rbManualConfigVWiFi", ControlKind::RadioButton};
  Control btnOK{"btnOK", ControlKind::Button};
  Control Shape1{"Shape1", ControlKind::Shape};
  Control RzURLLabel1{"RzURLLabel1", ControlKind::LinkLabel};
  Control imgHotspotOnline{"imgHotspotOnline", ControlKind::Image};
  Control imgHotspotOffline{"imgHotspotOffline", ControlKind::Image};

  Control tabClients{"tabClients", ControlKind::Page};
  Control sbClients{"sbClients", ControlKind::ScrollBox};

  Control tabMangement{"tabMangement", ControlKind::Page};
  Control suiGroupBox4{"suiGroupBox4", ControlKind::Group};
  Control Label3{"Label3", ControlKind::Label};
  Control btnLanguage{"btnLanguage", ControlKind::SkinnedButton};
  Control suiGroupBox1{"suiGroupBox1", ControlKind::Group};
  Control cbDisableP2P{"cbDisableP2P", ControlKind::CheckBox};
  Control Label9{"Label9", ControlKind::Label};
  Control suiGroupBox2{"suiGroupBox2", ControlKind::Group};
  Control cbEnableUrlLog{"cbEnableUrlLog", ControlKind::CheckBox};
  Control suiButton3{"suiButton3", ControlKind::Button};
  Control suiGroupBox3{"suiGroupBox3", ControlKind::Group};
  Control cbEnableAutoStart{"cbEnableAutoStart", ControlKind::CheckBox};
  Control Label2{"Label2", ControlKind::Label};

  Control miRestoreBrennick{"miRestoreBrennick", ControlKind::MenuItem};
  Control miCloseBrennick{"miCloseBrennick", ControlKind::MenuItem};

  // Every control above, in this order; null for an unknown name.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(const std::string& name) const;

  // The entries of the "Clients" page, in creation order.
  std::vector<const TfmClient*> ClientEntries() const;

  // ---- Fields ----------------------------------------------------------
  bool FHotspotRunning = false;
  bool FSettingsLoaded = false;
  std::vector<std::string> FInternetNames;
  std::vector<std::string> FInternetAddresses;
  std::vector<std::string> FSettingsLines;
  std::vector<std::string> FClientLines;
  std::string FOwnMac;

  // ---- Non-visual components ---------------------------------------------
  Timer ClientTimer;
  TrkServerSocket HotspotServerSocket;
  Timer HotspotSocketPingTimer;
  Timer HotspotServiceTimer;
  NetSharingManager NetSharingManager1;
  TrkMessageMonitor rkMessageMonitor1;

  // ---- Program start and window lifecycle ---------------------------------
  void miRestoreBrennickClick();
  void miCloseBrennickClick();
  void rkMessageMonitor1Message(TMessage& Msg);
  void RzURLLabel1Click();
  void btnLanguageClick();
  // Sets every translated caption from the language source.
  void ApplyLanguageTexts();
  // The key of the set-up button's current caption: "22" running, "20"
  // while the automatic set-up runs, else "9" in automatic mode and "21" in
  // manual mode.
  std::string SetupButtonCaptionKey() const;

  // ---- Settings store (the accessors of the window) ------------------------
  void BuildSettingsText();

  // ---- Hotspot set-up ----------------------------------------------------
  void LoadSettings();
  void SaveHotspotSettings();
  void UpdateSetupControls();
  void btnOKClick();
  void SetHotspotRunning(bool run);
  bool HostedAdapterPresent() const;
  void LockSetupControls();
  // True from the set-up button's click until its sequence has ended.
  bool SetupSequenceRunning() const { return setupSequenceRunning_; }

  // ---- Service supervision and client list --------------------------------
  void HotspotServiceTimerTimer();
  void HotspotSocketPingTimerTimer();
  void HotspotServerSocketClientReadComplete(TrkConnectionItem& connection, TMemoryStream& message);
  void SendSettingsToAll();
  void UpdateClientList(const std::string& text);
  void AddOrUpdateClient(const std::string& line);
  void RemoveUnreachableClients();
  void RemoveAllClients();
  void ClientTimerTimer();

  // ---- Management options --------------------------------------------------
  void cbDisableP2PClick();
  void ApplyManagementOptions();
  void suiButton3Click();

  // ---- Internet connection sharing ------------------------------------------
  void FillInternetList();
  void AddSharingConnections(std::vector<std::string>& names, std::vector<std::string>& addresses);
  bool ShareInternet(const std::string& publicName, const std::string& privateName);
  void DisableSharingOn(const std::string& name);
  void EnableSharingOn(const std::string& name, std::int32_t type);
  void StopSharing();

 private:
  void BuildControls();
  void WireEvents();
  std::string LanguageText(const std::string& key) const;
  void SetSetupButtonCaption(const std::string& key);
  // The retry scheme of the sharing manager's calls: up to five passes over
  // the manager's connections until one reaches `name` and completes `call`.
  void RunSharingPasses(const std::string& name, const std::function<void(const std::string& connection)>& call);
  void DestroyClient(TfmClient* entry);
  void ClientsChanged();

  EventLoop& loop_;
  std::string programFolder_;
  LanguageSource language_;
  std::vector<Control*> controls_;
  std::vector<std::unique_ptr<TfmClient>> clients_;
  bool setupSequenceRunning_ = false;
  bool automaticSetupRunning_ = false;
};

}  // namespace zl::panel
